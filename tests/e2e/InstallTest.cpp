// Zindle installed as a Linux program: the build this test belongs to is installed into a
// staging folder (DESTDIR) with `cmake --install`, its files are put to the desktop's own
// validators, and the installed program plays from there with no source tree and opens a
// window that the desktop puts with its entry. The manual page lists exactly the options of
// --help.
#include "formats/PNGImage.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;
using zindle_test::ReadFile;
using zindle_test::RunCommand;
using zindle_test::ZindleBinary;

namespace
{
const std::string c_sId = ZINDLE_APP_ID;
const std::string c_sPrefix = ZINDLE_INSTALL_PREFIX;
const int c_IconSizes[] = {48, 64, 128, 256, 512};

// `cmake --install` of this build under `root`; the installed tree is root + prefix.
fs::path InstallInto(const zindle_test::TempDir& root)
{
    const auto result = RunCommand("DESTDIR='" + root.Path().string() + "' cmake --install '" +
                                   ZINDLE_BUILD_DIR + "' >/dev/null");
    EXPECT_EQ(result.status, 0) << result.output;
    return root.Path() / fs::path(c_sPrefix).relative_path();
}

// Every regular file under `dir`, as paths relative to `base`.
std::set<std::string> FilesUnder(const fs::path& dir, const fs::path& base)
{
    std::set<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        if (entry.is_regular_file())
            files.insert(fs::relative(entry.path(), base).string());
    return files;
}

// The lines of `text`, without their ends.
std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

bool IsNameChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.';
}

// The value of `key` in a desktop entry; empty when it has none.
std::string DesktopValue(const std::string& entry, const std::string& key)
{
    for (const std::string& line : Lines(entry))
        if (line.rfind(key + "=", 0) == 0)
            return line.substr(key.size() + 1);
    return {};
}

// The package names in a Depends field ("a (>= 1), b | c"): a, b and c.
std::set<std::string> PackageNames(std::string field)
{
    for (char& c : field)
        c = IsNameChar(c) ? c : ' ';
    std::set<std::string> names;
    std::istringstream words(field);
    for (std::string word; words >> word;)
        if (word[0] >= 'a' && word[0] <= 'z') // versions start with a digit
            names.insert(word);
    return names;
}

// Every option ("-h", "--name") named anywhere in `text`.
std::set<std::string> OptionsIn(const std::string& text)
{
    std::set<std::string> options;
    for (size_t at = text.find('-'); at != std::string::npos; at = text.find('-', at + 1))
    {
        if (at > 0 && IsNameChar(text[at - 1]))
            continue; // inside a word ("four-voice") or a longer dash run
        if (text.compare(at, 2, "-h") == 0 && (at + 2 == text.size() || !IsNameChar(text[at + 2])))
        {
            options.insert("-h");
            continue;
        }
        if (text.compare(at, 2, "--") != 0 || at + 2 >= text.size() || text[at + 2] < 'a' ||
            text[at + 2] > 'z')
            continue;
        size_t end = at + 2;
        while (end < text.size() && ((text[end] >= 'a' && text[end] <= 'z') || text[end] == '-'))
            ++end;
        options.insert(text.substr(at, end - at));
        at = end - 1;
    }
    return options;
}

// The options named by an option list's entries: the lines indented by `indent` columns
// that start with a dash, up to the first gap of two spaces (where help's text begins).
std::set<std::string> ListedOptions(const std::string& text, size_t indent)
{
    std::set<std::string> options;
    const std::string margin(indent, ' ');
    for (const std::string& line : Lines(text))
    {
        if (line.rfind(margin + "-", 0) != 0)
            continue;
        for (const std::string& option : OptionsIn(line.substr(0, line.find("  ", indent))))
            options.insert(option);
    }
    return options;
}

// xvfb-run on a server of its own: "-a" alone makes two tests started at once
// race for the same free display, so each process starts its search at a
// number of its own, and keeps the authority file in the test's folder.
std::string XvfbRun(const fs::path& work, const std::string& serverArgs = "")
{
    return "env -u SDL_VIDEODRIVER xvfb-run -a -n " + std::to_string(100 + getpid() % 20000) +
           " -f '" + (work / "auth").string() + "' " +
           (serverArgs.empty() ? "" : "-s '" + serverArgs + "' ");
}

// The program's version, as --version says it; empty when it says something else.
std::string ProgramVersion()
{
    const std::string said = RunCommand(ZindleBinary() + " --version").output;
    const std::string prefix = "zindle ";
    const size_t end = said.find('\n');
    if (said.rfind(prefix, 0) != 0 || end == std::string::npos)
        return {};
    return said.substr(prefix.size(), end - prefix.size());
}

} // namespace

// One installation, shared by the tests that read it.
class Install : public ::testing::Test
{
  protected:
    static void SetUpTestSuite()
    {
        s_pRoot = new zindle_test::TempDir;
        s_tree = InstallInto(*s_pRoot);
    }
    static void TearDownTestSuite() { delete s_pRoot; }
    void SetUp() override { ASSERT_TRUE(fs::is_directory(s_tree)); }

    static inline zindle_test::TempDir* s_pRoot = nullptr;
    static inline fs::path s_tree;
    const fs::path& tree = s_tree;
};

TEST_F(Install, PutsEveryFileWhereTheDesktopLooksForItAndNothingElse)
{
    const zindle_test::TempDir& root = *s_pRoot;

    std::set<std::string> expected = {
        "bin/zindle",
        "share/applications/" + c_sId + ".desktop",
        "share/metainfo/" + c_sId + ".metainfo.xml",
        "share/icons/hicolor/scalable/apps/" + c_sId + ".svg",
        "share/man/man1/zindle.1.gz",
        "share/doc/zindle/README.md",
        "share/doc/zindle/LICENSE",
        "share/doc/zindle/copyright",
        "share/doc/zindle/examples/demo.zs",
        "share/doc/zindle/examples/just-major.scl",
        "share/doc/zindle/examples/19-equal.scl",
        "share/doc/zindle/examples/white-keys-a440.kbm",
    };
    for (int size : c_IconSizes)
        expected.insert("share/icons/hicolor/" + std::to_string(size) + "x" + std::to_string(size) +
                        "/apps/" + c_sId + ".png");
    for (const std::string& resource :
         FilesUnder(zindle_test::SourceDataDir(), zindle_test::SourceDataDir()))
        expected.insert("share/zindle/data/" + resource);
    const fs::path docs = zindle_test::SourceDataDir().parent_path() / "docs";
    for (const std::string& document : FilesUnder(docs, docs))
        if (document.ends_with(".md") || document == "zindle.png")
            expected.insert("share/doc/zindle/docs/" + document);
    EXPECT_EQ(FilesUnder(root.Path(), tree), expected)
        << "the program, its resources and the desktop's files; no test or benchmark";
    EXPECT_EQ(fs::status(tree / "bin/zindle").permissions() & fs::perms::owner_exec,
              fs::perms::owner_exec);

    // Each icon is the size its folder promises, drawn with transparent corners.
    for (int size : c_IconSizes)
    {
        SCOPED_TRACE(size);
        const std::string bytes = ReadFile(tree / "share/icons/hicolor" /
                                           (std::to_string(size) + "x" + std::to_string(size)) /
                                           "apps" / (c_sId + ".png"));
        PNGImage icon;
        ASSERT_TRUE(icon.Decode(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
        EXPECT_EQ(icon.GetWidth(), size);
        EXPECT_EQ(icon.GetHeight(), size);
        ASSERT_TRUE(icon.HasAlpha());
        EXPECT_EQ(icon.GetRGBA()[3], 0) << "the top-left corner is clear";
        EXPECT_EQ(icon.GetRGBA()[(size_t(size / 2) * size + size / 2) * 4 + 3], 255)
            << "the middle is opaque";
    }
    const std::string svg = ReadFile(tree / "share/icons/hicolor/scalable/apps" / (c_sId + ".svg"));
    EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
    EXPECT_NE(svg.find("viewBox=\"0 0 512 512\""), std::string::npos);
    EXPECT_EQ(svg.find("<image"), std::string::npos) << "vector only, no embedded picture";

    // Every file the installed README links to is installed beside it.
    const std::string readme = ReadFile(tree / "share/doc/zindle/README.md");
    int links = 0;
    for (size_t at = readme.find("](docs/"); at != std::string::npos;
         at = readme.find("](docs/", at + 1), ++links)
    {
        const std::string target = readme.substr(at + 2, readme.find(')', at) - at - 2);
        EXPECT_TRUE(fs::is_regular_file(tree / "share/doc/zindle" / target)) << target;
    }
    EXPECT_GE(links, 10);
}

TEST_F(Install, InstalledEntryMetadataAndManualPassTheDesktopsValidators)
{
    const fs::path desktop = tree / "share/applications" / (c_sId + ".desktop");
    const fs::path metainfo = tree / "share/metainfo" / (c_sId + ".metainfo.xml");
    const fs::path manual = tree / "share/man/man1/zindle.1.gz";

    struct Check
    {
        std::string command;
        std::string expected; // in the output; empty: no output at all
    };
    const Check checks[] = {
        {"desktop-file-validate '" + desktop.string() + "'", ""},
        {"appstreamcli validate --no-net --strict '" + metainfo.string() + "'",
         "Validation was successful"},
        // Warnings go to stderr; the page itself is thrown away.
        {"MANWIDTH=80 man --warnings -l '" + manual.string() + "' 2>&1 >/dev/null", ""},
        {"lexgrog '" + manual.string() + "'",
         ": \"zindle - four-voice synthesizer played with your fingers\""},
    };
    for (const Check& check : checks)
    {
        SCOPED_TRACE(check.command);
        const auto result = RunCommand(check.command);
        EXPECT_EQ(result.status, 0) << result.output;
        if (check.expected.empty())
            EXPECT_EQ(result.output, "");
        else
            EXPECT_NE(result.output.find(check.expected), std::string::npos) << result.output;
    }

    // One id ties the entry, its icon and the metadata together, and the entry starts
    // the installed program.
    const std::string entry = ReadFile(desktop);
    EXPECT_EQ(DesktopValue(entry, "Icon"), c_sId);
    EXPECT_EQ(DesktopValue(entry, "StartupWMClass"), c_sId);
    EXPECT_TRUE(fs::is_regular_file(tree / "bin" / DesktopValue(entry, "Exec")));
    const std::string metadata = ReadFile(metainfo);
    EXPECT_NE(metadata.find("<id>" + c_sId + "</id>"), std::string::npos);
    EXPECT_NE(metadata.find("<launchable type=\"desktop-id\">" + c_sId + ".desktop</launchable>"),
              std::string::npos);
    const std::string version = ProgramVersion();
    ASSERT_FALSE(version.empty());
    EXPECT_NE(metadata.find("<release version=\"" + version + "\""), std::string::npos)
        << "the metadata's release is the program's version";
    // Software centres show the README's picture, from the home page, and a description
    // that names what the program plays from: MIDI in and files, scales, saved settings.
    const size_t image =
        metadata.find("<image type=\"source\" width=\"480\" height=\"320\">https://");
    ASSERT_NE(image, std::string::npos) << metadata;
    EXPECT_EQ(metadata.compare(metadata.find('<', image + 1) - 15, 15, "docs/zindle.png"), 0);
    for (const char* feature : {"MIDI in", "Standard MIDI File", "Scala scale", "setting saved"})
        EXPECT_NE(metadata.find(feature), std::string::npos) << feature;

    // The manual names the files where this installation put them, whatever the prefix
    // chosen at install time, and the folder the settings are saved in.
    zindle_test::TempDir other;
    ASSERT_EQ(RunCommand("DESTDIR='" + other.Path().string() + "' cmake --install '" +
                         ZINDLE_BUILD_DIR + "' --prefix /opt/zindle-elsewhere >/dev/null")
                  .status,
              0);
    for (const auto& [prefix, page] :
         {std::pair{c_sPrefix, manual},
          std::pair{std::string("/opt/zindle-elsewhere"),
                    other / "opt/zindle-elsewhere/share/man/man1/zindle.1.gz"}})
    {
        SCOPED_TRACE(prefix);
        const auto text = RunCommand("MANWIDTH=200 LC_ALL=C.UTF-8 man -l '" + page.string() + "'");
        ASSERT_EQ(text.status, 0) << text.output;
        const std::string files = text.output.substr(text.output.find("\nFILES\n"));
        for (const std::string& path :
             {prefix + "/share/zindle/data", prefix + "/share/applications/" + c_sId + ".desktop",
              prefix + "/share/doc/zindle/", std::string("$XDG_CONFIG_HOME/zindle/"),
              std::string("~/.config/zindle/")})
            EXPECT_NE(files.find(path), std::string::npos) << path << " in " << files;
        if (prefix != "/usr/local")
        {
            EXPECT_EQ(text.output.find("/usr/local"), std::string::npos);
        }
        const size_t environment = text.output.find("\nENVIRONMENT\n");
        ASSERT_NE(environment, std::string::npos);
        EXPECT_NE(text.output.find("XDG_CONFIG_HOME", environment), std::string::npos);
    }
}

TEST_F(Install, InstalledProgramPlaysTheDemoWithoutTheSourceTree)
{
    zindle_test::TempDir work;
    const std::string demo = (tree / "share/doc/zindle/examples/demo.zs").string();
    // Neither ZINDLE_DATA nor the source tree: the installed program finds its own resources.
    auto run = [&](const std::string& program, const std::string& name)
    {
        return RunCommand("cd '" + work.Path().string() + "' && env -u ZINDLE_DATA '" + program +
                          "' --headless --seed 7 --script '" + demo + "' --wav " + name +
                          ".wav --screenshot " + name + ".png");
    };
    const auto installed = run((tree / "bin/zindle").string(), "installed");
    ASSERT_EQ(installed.status, 0) << installed.output;
    EXPECT_EQ(installed.output, "");
    zindle_test::WavFile wav;
    ASSERT_TRUE(zindle_test::ReadWav(work / "installed.wav", wav));
    EXPECT_EQ(wav.samples.size(), 21u * 44100u) << "the demo's 21 seconds";

    // The same performance as the built program's, from the source tree's resources.
    const auto built = run(ZindleBinary(), "built");
    ASSERT_EQ(built.status, 0) << built.output;
    EXPECT_TRUE(ReadFile(work / "installed.wav") == ReadFile(work / "built.wav"));
    EXPECT_TRUE(ReadFile(work / "installed.png") == ReadFile(work / "built.png"));

    // The resources it read are the installed ones: one it needs taken away there stops
    // a headless and a live start alike, with one line, before a window opens.
    const fs::path launch = tree / "share/zindle/data/Default.png";
    fs::rename(launch, work / "Default.png");
    for (const char* mode : {"--headless", "--fullscreen"})
    {
        SCOPED_TRACE(mode);
        const auto missing = RunCommand("env -u ZINDLE_DATA '" + (tree / "bin/zindle").string() +
                                        "' --seconds 5 " + mode);
        EXPECT_EQ(missing.status, 1);
        EXPECT_EQ(missing.output, "zindle: resource directory " +
                                      (tree / "share/zindle/data").string() +
                                      " lacks Default.png\n");
    }
    fs::rename(work / "Default.png", launch);
}

TEST_F(Install, WindowCarriesItsEntrysClassAndTheIcon)
{
    const std::string entry = ReadFile(tree / "share/applications" / (c_sId + ".desktop"));
    // The installed program in a window on a virtual X screen, read the way docks and task
    // bars read it (xprop), then ended with SIGTERM.
    zindle_test::TempDir work;
    zindle_test::WriteFile(work / "window.sh",
                           "'" + (tree / "bin/zindle").string() + "' --seconds 60 2>'" +
                               (work / "zindle.err").string() +
                               "' & pid=$!\n"
                               "for i in $(seq 300); do\n"
                               // The icon is set just after the window appears.
                               "  p=$(xprop -name Zindle WM_CLASS _NET_WM_ICON 2>/dev/null)\n"
                               "  echo \"$p\" | grep -q 'Icon (' && break\n"
                               "  sleep 0.1\n"
                               "done\n"
                               "echo \"$p\" | grep -E '^WM_CLASS|Icon \\('\n"
                               "kill -TERM $pid; wait $pid\n");
    const auto result = RunCommand("env -u ZINDLE_DATA " + XvfbRun(work.Path()) + "sh '" +
                                   (work / "window.sh").string() + "'");
    // What the program said, for a failure's message.
    const std::string said = "\nzindle said: " + ReadFile(work / "zindle.err");
    EXPECT_EQ(result.status, 128 + 15) << result.output << said;
    const std::string windowClass = DesktopValue(entry, "StartupWMClass");
    ASSERT_FALSE(windowClass.empty());
    EXPECT_NE(
        result.output.find("WM_CLASS(STRING) = \"" + windowClass + "\", \"" + windowClass + "\"\n"),
        std::string::npos)
        << result.output << said;
    EXPECT_NE(result.output.find("Icon (128 x 128):"), std::string::npos) << result.output << said;
}

TEST(Window, F11FillsTheScreenWithoutAWindowManagerAndGivesItBack)
{
    // A bare X server (no window manager carries out full screen) and the keyboard through
    // XTest: F11 makes the window cover the 1280 x 1024 screen with the whole picture (its
    // left and right edges drawn, not a corner of it), and F11 again puts it back.
    zindle_test::TempDir work;
    zindle_test::WriteFile(
        work / "x.py",
        "import ctypes, ctypes.util, sys, time\n"
        "try:\n"
        "    xt = ctypes.CDLL('libXtst.so.6')\n"
        "except OSError:\n"
        "    print('no XTest'); sys.exit(0)\n"
        "x = ctypes.CDLL(ctypes.util.find_library('X11'))\n"
        "x.XOpenDisplay.restype = ctypes.c_void_p\n"
        "x.XOpenDisplay.argtypes = [ctypes.c_char_p]\n"
        "x.XDefaultRootWindow.restype = ctypes.c_ulong\n"
        "x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]\n"
        "x.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]\n"
        "x.XFlush.argtypes = [ctypes.c_void_p]\n"
        "x.XGetImage.restype = ctypes.c_void_p\n"
        "x.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong] + [ctypes.c_int] * 2 + "
        "[ctypes.c_uint] * 2 + [ctypes.c_ulong, ctypes.c_int]\n"
        "x.XGetPixel.restype = ctypes.c_ulong\n"
        "x.XGetPixel.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int]\n"
        "xt.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, "
        "ctypes.c_ulong]\n"
        "xt.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p] + [ctypes.c_int] * 3 + "
        "[ctypes.c_ulong]\n"
        "d = x.XOpenDisplay(None)\n"
        "if sys.argv[1] == 'f11':\n"
        "    xt.XTestFakeMotionEvent(d, 0, 640, 512, 0)\n"
        "    key = x.XKeysymToKeycode(d, 0xFFC8)\n"
        "    xt.XTestFakeKeyEvent(d, key, 1, 0); xt.XTestFakeKeyEvent(d, key, 0, 0)\n"
        "    x.XFlush(d)\n"
        "else:\n" // the screen's left and right edges, halfway down, once both are drawn
        "    for i in range(100):\n"
        "        image = x.XGetImage(d, x.XDefaultRootWindow(d), 0, 0, 1280, 1024, "
        "0xFFFFFFFF, 2)\n"
        "        edges = [x.XGetPixel(image, px, 512) & 0xFFFFFF for px in (5, 1274)]\n"
        "        if all(edges): break\n"
        "        time.sleep(0.1)\n"
        "    print('edges ' + ' '.join('drawn' if e else 'black' for e in edges))\n");
    zindle_test::WriteFile(
        work / "window.sh",
        "'" + ZindleBinary() +
            "' --seconds 60 2>/dev/null & pid=$!\n"
            "size() { xwininfo -name Zindle 2>/dev/null | awk '/Width:/{w=$2} /Height:/{h=$2} "
            "END{print w \"x\" h}'; }\n"
            "await() { for i in $(seq 100); do [ \"$(size)\" = $1 ] && break; sleep 0.1; "
            "done; echo \"window $(size)\"; }\n"
            "await 960x640\n"
            "python3 '" +
            (work / "x.py").string() + "' f11\nawait 1280x1024\npython3 '" +
            (work / "x.py").string() + "' edges\npython3 '" + (work / "x.py").string() +
            "' f11\nawait 960x640\n"
            "kill -TERM $pid; wait $pid\n");
    const auto result = RunCommand(XvfbRun(work.Path(), "-screen 0 1280x1024x24") + "sh '" +
                                   (work / "window.sh").string() + "'");
    // libXtst comes with x11-utils, which scripts/setup installs.
    ASSERT_EQ(result.output.find("no XTest"), std::string::npos) << "no XTest library";
    EXPECT_EQ(result.status, 128 + 15) << result.output;
    EXPECT_EQ(result.output, "window 960x640\nwindow 1280x1024\nedges drawn drawn\n"
                             "window 960x640\n");
}

TEST(ManualPage, ListsExactlyTheOptionsOfHelp)
{
    const auto help = RunCommand(ZindleBinary() + " --help");
    ASSERT_EQ(help.status, 0) << help.output;
    const std::set<std::string> helpOptions = ListedOptions(help.output, 2);

    const fs::path manual = fs::path(ZINDLE_BUILD_DIR) / "dist/zindle.1.gz";
    const auto page = RunCommand("MANWIDTH=100 LC_ALL=C.UTF-8 man -l '" + manual.string() + "'");
    ASSERT_EQ(page.status, 0) << page.output;
    const size_t begin = page.output.find("\nOPTIONS\n");
    const size_t end = page.output.find("\nPLAYING\n");
    ASSERT_NE(begin, std::string::npos);
    ASSERT_NE(end, std::string::npos);
    // The option list's entries are the lines indented by seven columns.
    const std::string options = page.output.substr(begin, end - begin);
    EXPECT_EQ(ListedOptions(options, 7), helpOptions);
    // And the page names no option anywhere that the program does not have.
    for (const std::string& name : OptionsIn(page.output))
        EXPECT_TRUE(helpOptions.count(name)) << name;
    EXPECT_GE(helpOptions.size(), 19u);
}

TEST(Package, DebianPackageHoldsTheInstallationWithItsSectionAndComputedDependencies)
{
    // CPack as scripts/package runs it, on the installation's rules (all in dist/, whose
    // build builds nothing more than the manual page).
    zindle_test::TempDir out;
    const std::string build = ZINDLE_BUILD_DIR;
    const auto made = RunCommand("cd '" + out.Path().string() + "' && cpack --config '" + build +
                                 "/CPackConfig.cmake' -B '" + out.Path().string() +
                                 "' -D 'CPACK_INSTALL_CMAKE_PROJECTS=" + build +
                                 "/dist;Zindle;ALL;/' >/dev/null");
    ASSERT_EQ(made.status, 0) << made.output;

    const std::string version = ProgramVersion();
    ASSERT_FALSE(version.empty());
    std::string arch = RunCommand("dpkg --print-architecture").output;
    arch.erase(arch.find_last_not_of('\n') + 1);
    const fs::path deb = out / ("zindle_" + version + "_" + arch + ".deb");
    ASSERT_TRUE(fs::is_regular_file(deb)) << deb;

    auto field = [&](const std::string& name)
    { return RunCommand("dpkg-deb --field '" + deb.string() + "' " + name).output; };
    EXPECT_EQ(field("Package"), "zindle\n");
    EXPECT_EQ(field("Version"), version + "\n");
    EXPECT_EQ(field("Section"), "sound\n");
    EXPECT_EQ(field("Architecture"), arch + "\n");
    EXPECT_EQ(
        field("Description").rfind("four-voice synthesizer played with your fingers\n Zindle"), 0u);
    // dpkg-shlibdeps found the libraries the program links; Mesa's drivers, which it loads
    // at run time, are named by hand.
    const std::set<std::string> depends = PackageNames(field("Depends"));
    for (const char* library :
         {"libc6", "libstdc++6", "libsdl2-2.0-0", "libgles1", "libegl1", "libpng16-16",
          "libsndfile1", "librtmidi6", "libasound2", "libgl1-mesa-dri"})
        EXPECT_TRUE(depends.count(library)) << library << " in " << field("Depends");

    // It holds exactly what an installation to /usr does.
    zindle_test::TempDir root;
    ASSERT_EQ(RunCommand("DESTDIR='" + root.Path().string() + "' cmake --install '" + build +
                         "' --prefix /usr >/dev/null")
                  .status,
              0);
    std::set<std::string> packaged;
    const std::string contents = RunCommand("dpkg-deb --contents '" + deb.string() + "'").output;
    for (const std::string& line : Lines(contents))
        if (line.rfind('-', 0) == 0 && line.find(" ./") != std::string::npos)
            packaged.insert(line.substr(line.find(" ./") + 3));
    EXPECT_EQ(packaged, FilesUnder(root.Path(), root.Path()));
    EXPECT_TRUE(packaged.count("usr/bin/zindle"));
}
