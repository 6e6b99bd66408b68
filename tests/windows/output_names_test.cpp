// Output names under Windows' rules, as one table.
#include <gtest/gtest.h>

#include <string>

#include "output/output_name.h"
#include "platform/windows/output_names.h"

namespace {

// Where an entry lands on Windows: the portable output path, each component
// then made one Windows takes, as the output-file seam does with every name.
std::string windowsOutputPathFor(const std::string& stored) {
    const std::string portable = outputPathFor(stored, ROOT_PREFIXES_DROPPED);
    std::string path;
    size_t start = 0;
    while (start < portable.size()) {
        size_t end = portable.find('/', start);
        if (end == std::string::npos)
            end = portable.size();
        if (!path.empty())
            path += '/';
        path += windowsSafeComponent(std::string_view(portable).substr(start, end - start));
        start = end + 1;
    }
    return path;
}

struct NameCase {
    std::string stored;  // code page 437, '\' between directories as the loader keeps it
    std::string path;    // '/'-separated UTF-8
};

const NameCase NAME_CASES[] = {
    {"PLAIN.TXT", "PLAIN.TXT"},
    {"DATA\\MAP.BIN", "DATA/MAP.BIN"},
    // Devices in any case, with or without an extension, in any component.
    {"CON", "_CON"},
    {"con", "_con"},
    {"NUL.TXT", "_NUL.TXT"},
    {"aux.tar.gz", "_aux.tar.gz"},
    {"PRN", "_PRN"},
    {"COM1", "_COM1"},
    {"lpt9.dat", "_lpt9.dat"},
    {"CON .LOG", "_CON .LOG"},
    {"CONOUT$", "_CONOUT$"},
    {"DIR\\CON\\F", "DIR/_CON/F"},
    {"COM0", "COM0"},
    {"COM10", "COM10"},
    {"CONSOLE", "CONSOLE"},
    {"NULL.TXT", "NULL.TXT"},
    // Windows would drop trailing dots and spaces.
    {"A.", "A_"},
    {"B ", "B_"},
    {"C. .", "C___"},
    {"...", "___"},
    {"X.\\Y", "X_/Y"},
    // Refused characters.
    {"B:C", "B_C"},
    {"WHAT?.TXT", "WHAT_.TXT"},
    {"A<B>C|D", "A_B_C_D"},
    // Drive letters, device and UNC prefixes go like leading separators.
    {"C:\\GAMES\\X.DAT", "GAMES/X.DAT"},
    {"c:X.DAT", "c_X.DAT"},
    {"\\\\?\\C:\\X", "X"},
    {"\\\\.\\PIPE\\P", "PIPE/P"},
    {"\\\\?\\UNC\\SERVER\\SHARE\\F", "SERVER/SHARE/F"},
    {"\\\\SERVER\\SHARE\\F", "SERVER/SHARE/F"},
    {"\\ROOT.TXT", "ROOT.TXT"},
    // Climbing out is neutralised as on every host.
    {"..\\..\\X", "__/__/X"},
    {"C:\\..\\X", "__/X"},
    // Code page 437 letters arrive as UTF-8.
    {"\x82T\x82", "\u00E9T\u00E9"},
    {"", ""},
};

TEST(WindowsOutputNames, EveryRowOfTheTable) {
    for (const NameCase& row : NAME_CASES)
        EXPECT_EQ(windowsOutputPathFor(row.stored), row.path) << row.stored;
}

}  // namespace
