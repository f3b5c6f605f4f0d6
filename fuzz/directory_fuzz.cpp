// The company directory's reader fed with arbitrary files: no crash; every
// entry is well-formed and within the limits; a rewrite without learning is
// the file byte for byte; a learnt company is read back from the rewrite of a
// file the program writes to.
#include <string>

#include "directory/company_directory.h"
#include "fuzz_input.h"
#include "text/format.h"

using namespace kovirant;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    CompanyDirectory d = CompanyDirectory::parse(bytes, {20, 18});
    for (const DirectoryEntry& e : d.entries()) {
        fuzz::require(e.taxNumber().size() == 8 && allDigits(e.taxNumber()));
        fuzz::require(e.companyNumber().size() == 10 && allDigits(e.companyNumber()));
        fuzz::require(readNumber(e.companyNumber().substr(0, 2)) <= 20 && readNumber(e.companyNumber().substr(2, 2)) <= 18);
        fuzz::require(d.companyOf(e.taxNumber()).has_value());
    }
    fuzz::require(d.serialize() == bytes);
    const CompanyDirectory again = CompanyDirectory::parse(d.serialize(), {20, 18});
    fuzz::require(again.size() == d.size());
    for (std::size_t i = 0; i < d.size(); ++i) {
        fuzz::require(again.entries()[i].taxNumber() == d.entries()[i].taxNumber());
        fuzz::require(again.entries()[i].companyNumber() == d.entries()[i].companyNumber());
    }
    if (d.unintelligible()) return 0;  // never written to
    std::string tax = "99999999";
    while (d.companyOf(tax)) tax = zeroPadNumber(readNumber(tax) - 1, 8);
    fuzz::require(d.learn(tax, "0109000001", ""));
    const CompanyDirectory learnt = CompanyDirectory::parse(d.serialize(), {20, 18});
    fuzz::require(learnt.companyOf(tax) == std::optional<std::string_view>("0109000001"));
    return 0;
}
