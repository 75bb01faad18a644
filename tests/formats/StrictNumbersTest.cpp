// Every reader of text takes a number only when it is the whole field: junk
// after a NUL byte, which ends the C string a conversion sees, is still junk.
#include "core/TextParse.h"
#include "formats/PerformanceScript.h"
#include "formats/ScalaFile.h"
#include "formats/Settings.h"
#include "formats/Tuning.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

using namespace std::string_literals;

TEST(StrictNumbers, TheParserTakesTheWholeFieldOrNothing)
{
    const struct
    {
        std::string word;
        bool real, integer;
    } cases[] = {{"7", true, true},          {"-2.5", true, false},
                 {"7\0junk"s, false, false}, {"7\0"s, false, false},
                 {"\0"s, false, false},      {"", false, false},
                 {" 7", false, false},       {"7 ", false, false},
                 {"7x", false, false},       {"nan", false, false},
                 {"inf", false, false},      {"1e999", false, false},
                 {"0x10", true, false},      {"99999999999999999999", true, false}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::PrintToString(c.word));
        double real = 0.0;
        long integer = 0;
        EXPECT_EQ(TextParse::ParseReal(c.word, real), c.real);
        EXPECT_EQ(TextParse::ParseInteger(c.word, -1000, 1000, integer), c.integer);
    }
}

TEST(StrictNumbers, EveryReaderRefusesJunkAfterANulByteWithAReadableLine)
{
    const std::string scale = "! a scale\njust\n7\n9/8\n5/4\n4/3\n3/2\n5/3\n15/8\n2/1\n";
    const std::function<bool(const std::string&, std::string&)> script =
        [](const std::string& text, std::string& error)
    { return PerformanceScript().Parse(text, "p.zs", error); };
    const std::function<bool(const std::string&, std::string&)> settings =
        [](const std::string& text, std::string& error)
    { return Settings().Parse(text, "s.conf", error); };
    const std::function<bool(const std::string&, std::string&)> scala =
        [](const std::string& text, std::string& error)
    {
        Tuning tuning;
        return ScalaFile::ParseScale(text, "s.scl", tuning, error);
    };
    const std::function<bool(const std::string&, std::string&)> mapping =
        [](const std::string& text, std::string& error)
    {
        ScalaFile::KeyboardMapping read;
        return ScalaFile::ParseKeyboardMapping(text, "m.kbm", read, error);
    };
    const struct
    {
        const std::function<bool(const std::string&, std::string&)>& read;
        std::string text;
        std::string message; // empty: accepted
    } cases[] = {
        {script, "0 down 1 100 100\n0.5 up 1\n", ""},
        {script, "0 down 1 100\0garbage 100\n"s, "p.zs:1: '100\\x00garbage' is not"},
        {script, "0\0x down 1 100 100\n"s, "p.zs:1: '0\\x00x' is not a time"},
        {settings, "mode = Pulse\ngrid = on\n", ""},
        {settings, "mode = Pulse\0junk\n"s, "s.conf:1: 'Pulse\\x00junk' is not a mode"},
        {settings, "grid = on\0\n"s, "s.conf:1: 'on\\x00' is not \"on\" or \"off\""},
        {settings, "tuning_base = 440\0abc\n"s, "s.conf:1: '440\\x00abc' is not a frequency"},
        {settings, "timbre = 0.5\0junk\n"s, "s.conf:1: '0.5\\x00junk' is not a slider position"},
        {settings, "echo_time = 0.25s\n", "s.conf:1: '0.25s' is not a slider position"},
        {scala, scale, ""},
        {scala, "! a scale\njust\n7\0junk\n"s, "s.scl:3: '7\\x00junk' is not a number of pitches"},
        {scala, "\xFF\xFE!\0 \0x\0\n\0"s, "s.scl:2: '\\x00' is not a number of pitches"},
        {scala, "! a scale\njust\n1\n2/1\0x\n"s, "s.scl:4: '2/1\\x00x' is not a pitch"},
        {mapping, "0\n0\n127\n60\n69\n440\n0\n", ""},
        {mapping, "0\n0\n127\n60\n69\n440\0abc\n0\n"s, "m.kbm:6: '440\\x00abc' is not"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::PrintToString(c.text));
        std::string error;
        EXPECT_EQ(c.read(c.text, error), c.message.empty()) << error;
        if (!c.message.empty())
        {
            EXPECT_EQ(error.rfind(c.message, 0), 0u) << error;
        }
        EXPECT_EQ(error.find('\0'), std::string::npos) << "a message is printable whole";
    }
}
