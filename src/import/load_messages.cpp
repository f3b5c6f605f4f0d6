#include "import/load_messages.h"

namespace kovirant {

std::string readFault(long long lines) {
    return std::string(kMsgReadFailed) + " a(z) " + std::to_string(lines) + ". sor után";
}

std::string reloadFault(const ReloadOutcome& o) {
    switch (o.status) {
        case ReloadStatus::NotAReport:
            if (o.root.empty()) return "az állomány nem jelentés: nincs benne XML elem";
            return "az állomány nem jelentés: a gyökéreleme <" + o.root + ">, nem <" + std::string(kReportRootElement) +
                   ">";
        case ReloadStatus::Incomplete:
            return "a jelentés hiányos: a(z) " + std::to_string(o.lines) + ". sorral véget ér a </" +
                   std::string(kReportRootElement) + "> előtt";
        case ReloadStatus::ReadFailed:
            return readFault(o.lines) + ", Hibakód=" + std::to_string(o.errorCode);
        case ReloadStatus::Completed:
        case ReloadStatus::CannotOpen: break;
    }
    return {};
}

}  // namespace kovirant
