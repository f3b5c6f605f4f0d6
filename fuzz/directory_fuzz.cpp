// The company directory's reader fed with arbitrary files: no crash; every
// entry is well-formed; a rewrite reads back the same entries and keeps the
// unreadable lines.
#include <string>

#include "directory/company_directory.h"
#include "fuzz_input.h"
#include "text/format.h"

using namespace kovirant;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const CompanyDirectory d = CompanyDirectory::parse(bytes);
    for (const DirectoryEntry& e : d.entries()) {
        fuzz::require(e.taxNumber().size() == 8 && allDigits(e.taxNumber()));
        fuzz::require(e.companyNumber().size() == 10 && allDigits(e.companyNumber()));
        fuzz::require(d.companyOf(e.taxNumber()).has_value());
    }
    const CompanyDirectory again = CompanyDirectory::parse(d.serialize());
    fuzz::require(again.size() == d.size());
    for (std::size_t i = 0; i < d.size(); ++i) {
        fuzz::require(again.entries()[i].taxNumber() == d.entries()[i].taxNumber());
        fuzz::require(again.entries()[i].companyNumber() == d.entries()[i].companyNumber());
    }
    return 0;
}
