#include "formats/PerformanceScript.h"

#include "core/Printable.h"
#include "core/TextParse.h"
#include "file/File_Disk.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>

namespace
{
bool ParseContact(const std::string& word, int& contact)
{
    if (word.empty() || word.size() > 2)
        return false;
    for (char c : word)
        if (c < '0' || c > '9')
            return false;
    contact = std::atoi(word.c_str());
    return contact >= 1 && contact <= PerformanceScript::c_iMaxContact;
}

struct EventShape
{
    ScriptEvent::Kind kind;
    size_t arguments;
    const char* usage;
};

const std::map<std::string, EventShape>& Shapes()
{
    static const std::map<std::string, EventShape> shapes = {
        {"down", {ScriptEvent::Kind::Down, 3, "down <contact> <x> <y>"}},
        {"move", {ScriptEvent::Kind::Move, 3, "move <contact> <x> <y>"}},
        {"up", {ScriptEvent::Kind::Up, 1, "up <contact>"}},
        {"slide", {ScriptEvent::Kind::Slide, 4, "slide <contact> <x> <y> <seconds>"}},
        {"tap", {ScriptEvent::Kind::Tap, 2, "tap <x> <y>"}},
        {"shot", {ScriptEvent::Kind::Shot, 1, "shot <file>"}},
        {"save", {ScriptEvent::Kind::Save, 1, "save <file>"}},
        {"end", {ScriptEvent::Kind::End, 0, "end"}},
    };
    return shapes;
}
} // namespace

bool PerformanceScript::Parse(const std::string& text, const std::string& fileName,
                              std::string& error)
{
    m_events.clear();
    m_rEnd.reset();
    m_rLast = 0.0;
    const std::filesystem::path folder = std::filesystem::path(fileName).parent_path();

    bool down[c_iMaxContact + 1] = {};
    double previous = 0.0;
    std::istringstream lines(TextParse::WithoutByteOrderMark(text));
    std::string line;
    int number = 0;
    const std::string longest = " the " + std::to_string(static_cast<int>(c_rMaxSeconds)) +
                                " seconds (24 hours) a performance may last";
    auto fail = [&](const std::string& problem)
    {
        error = TextParse::Located(fileName, number, problem);
        m_events.clear();
        return false;
    };

    while (std::getline(lines, line))
    {
        ++number;
        if (const size_t hash = line.find('#'); hash != std::string::npos)
            line.erase(hash);
        std::istringstream words(line);
        std::vector<std::string> word;
        for (std::string w; words >> w;)
            word.push_back(w);
        if (word.empty())
            continue;

        ScriptEvent event;
        event.iLine = number;
        if (!TextParse::ParseReal(word[0], event.rTime) || event.rTime < 0.0)
            return fail(Printable::Echo(word[0]) + " is not a time in seconds");
        if (event.rTime > c_rMaxSeconds)
            return fail(Printable::Echo(word[0]) + " is beyond" + longest);
        if (word.size() < 2)
            return fail("missing event after the time");
        if (event.rTime < previous)
            return fail("time " + Printable::Quote(word[0]) + " goes backwards");
        if (m_rEnd)
            return fail("event after the end");
        previous = event.rTime;

        const auto shape = Shapes().find(word[1]);
        if (shape == Shapes().end())
            return fail("unknown event " + Printable::Echo(word[1]));
        event.eKind = shape->second.kind;
        const size_t given = word.size() - 2;
        if (given != shape->second.arguments)
            return fail(std::string(given < shape->second.arguments ? "missing" : "extra") +
                        " arguments (expected: " + shape->second.usage + ")");

        size_t next = 2;
        if (event.eKind == ScriptEvent::Kind::Down || event.eKind == ScriptEvent::Kind::Move ||
            event.eKind == ScriptEvent::Kind::Up || event.eKind == ScriptEvent::Kind::Slide)
        {
            if (!ParseContact(word[next], event.iContact))
                return fail(Printable::Echo(word[next]) + " is not a contact (1 to 99)");
            ++next;
        }
        if (event.eKind == ScriptEvent::Kind::Down || event.eKind == ScriptEvent::Kind::Move ||
            event.eKind == ScriptEvent::Kind::Slide || event.eKind == ScriptEvent::Kind::Tap)
        {
            double x = 0.0, y = 0.0;
            if (!TextParse::ParseReal(word[next], x))
                return fail(Printable::Echo(word[next]) + " is not a coordinate");
            if (!TextParse::ParseReal(word[next + 1], y))
                return fail(Printable::Echo(word[next + 1]) + " is not a coordinate");
            // Held far off the screen, where a float holds them exactly enough.
            event.rX = static_cast<float>(std::clamp(x, -c_rMaxCoordinate, c_rMaxCoordinate));
            event.rY = static_cast<float>(std::clamp(y, -c_rMaxCoordinate, c_rMaxCoordinate));
            next += 2;
        }

        double finished = event.rTime;
        switch (event.eKind)
        {
        case ScriptEvent::Kind::Down:
            if (down[event.iContact])
                return fail("contact " + std::to_string(event.iContact) + " is already down");
            down[event.iContact] = true;
            break;
        case ScriptEvent::Kind::Move:
            if (!down[event.iContact])
                return fail("move of contact " + std::to_string(event.iContact) +
                            ", which is not down");
            break;
        case ScriptEvent::Kind::Up:
            if (!down[event.iContact])
                return fail("up of contact " + std::to_string(event.iContact) +
                            ", which is not down");
            down[event.iContact] = false;
            break;
        case ScriptEvent::Kind::Slide:
            if (!down[event.iContact])
                return fail("slide of contact " + std::to_string(event.iContact) +
                            ", which is not down");
            if (!TextParse::ParseReal(word[next], event.rDuration) || event.rDuration < 0.0)
                return fail(Printable::Echo(word[next]) + " is not a duration in seconds");
            if (event.rTime + event.rDuration > c_rMaxSeconds)
                return fail("a slide of " + Printable::Echo(word[next]) + " seconds ends beyond" +
                            longest);
            finished += event.rDuration;
            break;
        case ScriptEvent::Kind::Shot:
        case ScriptEvent::Kind::Save:
            event.sPath = (folder / word[next]).string();
            break;
        case ScriptEvent::Kind::End:
            m_rEnd = event.rTime;
            break;
        case ScriptEvent::Kind::Tap:
            break;
        }
        if (finished > m_rLast)
            m_rLast = finished;
        m_events.push_back(event);
    }
    return true;
}

bool PerformanceScript::Load(const std::string& path, std::string& error)
{
    std::string text, problem;
    if (!File_Disk::ReadAll(path, c_iMaxFileBytes, text, problem))
    {
        error = Printable::Name(path) + ": cannot read the script: " + problem;
        return false;
    }
    return Parse(text, path, error);
}
