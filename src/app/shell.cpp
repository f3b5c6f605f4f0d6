#include "app/shell.h"

#include "text/cp1250.h"

namespace kovirant {

MessageBoxSpec messageBox(std::string_view text, std::string_view caption, MessageIcon icon, bool owned) {
    return {cp1250ToUtf16(text), cp1250ToUtf16(caption), icon, owned};
}

}  // namespace kovirant
