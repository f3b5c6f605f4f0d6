// The profile reader fed with arbitrary settings files: no crash; a value
// written reads back through the written file.
#include <algorithm>

#include "fuzz_input.h"
#include "report/profile_file.h"
#include "report/settings.h"

using namespace kovirant;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    Profile p = Profile::parse(text);
    for (const DataSheetKey& k : DataSheetKeys()) fuzz::require(dataSheetValue(p, k.key).size() <= 511);
    (void)profileValue(p, "GENERAL", "maxtk", "20", 128);
    (void)profileValue(p, "", "", "", 1);
    p.set("ADATLAP", "cim", "P\xE9nzint\xE9zeti jelent\xE9s 2");
    // A NUL byte ends a name or value where it stands, so a file with one is
    // not the same file once written back (as with Windows' functions).
    if (text.find('\0') != std::string::npos) return 0;
    const std::string written = p.serialize();
    // A file whose first bytes read as a byte-order mark is read as Unicode
    // next time, as Windows does; such a file is not expected to read back.
    const std::string_view head(written.data(), std::min<std::size_t>(written.size(), 3));
    if (head.substr(0, 2) == "\xFE\xFF" || head.substr(0, 2) == "\xFF\xFE" || head == "\xEF\xBB\xBF") return 0;
    const Profile back = Profile::parse(written);
    const auto value = back.find("ADATLAP", "cim");
    fuzz::require(value.has_value() && *value == "P\xE9nzint\xE9zeti jelent\xE9s 2");
    return 0;
}
