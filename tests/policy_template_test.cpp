// The Group Policy template: well-formed XML in the ADMX structure, every
// string and presentation it refers to present in each language file, and
// the value the program reads.
#ifdef KOVIRANT_HAVE_LIBXML2
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <filesystem>
#include <regex>
#include <set>

#include "test_support.h"

using namespace kovirant;

namespace {

const std::filesystem::path kPackaging = std::filesystem::path(KOVIRANT_SOURCE_DIR) / "packaging";

// The values of an XPath over the policy namespace (prefix p).
std::set<std::string> values(const std::filesystem::path& file, const char* xpath) {
    std::set<std::string> out;
    xmlDocPtr doc = xmlReadFile(file.c_str(), nullptr, XML_PARSE_NONET);
    if (doc == nullptr) {
        ADD_FAILURE() << file << " is not well-formed XML";
        return out;
    }
    xmlXPathContextPtr ctx = xmlXPathNewContext(doc);
    xmlXPathRegisterNs(ctx, BAD_CAST "p", BAD_CAST "http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions");
    xmlXPathObjectPtr result = xmlXPathEvalExpression(BAD_CAST xpath, ctx);
    if (result != nullptr && result->nodesetval != nullptr)
        for (int i = 0; i < result->nodesetval->nodeNr; ++i) {
            xmlChar* text = xmlNodeGetContent(result->nodesetval->nodeTab[i]);
            out.insert(reinterpret_cast<const char*>(text));
            xmlFree(text);
        }
    xmlXPathFreeObject(result);
    xmlXPathFreeContext(ctx);
    xmlFreeDoc(doc);
    return out;
}

std::set<std::string> references(const std::string& text, const char* kind) {
    std::set<std::string> out;
    const std::regex ref(std::string("\\$\\(") + kind + "\\.([A-Za-z_0-9]+)\\)");
    for (std::sregex_iterator it(text.begin(), text.end(), ref), end; it != end; ++it) out.insert((*it)[1]);
    return out;
}

}  // namespace

TEST(PolicyTemplate, TheAdmxAndItsLanguageFilesAgree) {
    const std::filesystem::path admx = kPackaging / "Kovirant.admx";
    const std::string text = readFile(admx);
    EXPECT_EQ(values(admx, "/p:policyDefinitions/p:policies/p:policy/@key"),
              std::set<std::string>{"Software\\Policies\\Kovirant"});
    EXPECT_EQ(values(admx, "//p:policy/@class"), std::set<std::string>{"Both"});
    EXPECT_EQ(values(admx, "//p:policy/p:elements/p:text[@expandable='true']/@valueName"),
              (std::set<std::string>{"Munkamappa", "Cegtar", "Archivum", "Kimeno"}));
    // The two-person release is a REG_DWORD 1 the program reads as "Jovahagyas".
    EXPECT_EQ(values(admx, "//p:policy[@valueName='Jovahagyas']/p:enabledValue/p:decimal/@value"),
              std::set<std::string>{"1"});
    EXPECT_FALSE(values(admx, "/p:policyDefinitions/p:policyNamespaces/p:target/@namespace").empty());
    const std::set<std::string> textIds = values(admx, "//p:policy/p:elements/p:text/@id");
    for (const char* language : {"hu-HU", "en-US"}) {
        SCOPED_TRACE(language);
        const std::filesystem::path adml = kPackaging / language / "Kovirant.adml";
        const std::set<std::string> strings = values(adml, "//p:resources/p:stringTable/p:string/@id");
        for (const std::string& id : references(text, "string")) EXPECT_TRUE(strings.count(id)) << id;
        const std::set<std::string> presentations = values(adml, "//p:resources/p:presentationTable/p:presentation/@id");
        for (const std::string& id : references(text, "presentation")) EXPECT_TRUE(presentations.count(id)) << id;
        EXPECT_EQ(values(adml, "//p:presentation/p:textBox/@refId"), textIds);
    }
}
#endif
