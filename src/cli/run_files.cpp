#include "cli/run_files.h"

#include <algorithm>
#include <ctime>
#include <optional>
#include <string>
#include "app/road_settings.h"
#include "app/working_folder.h"
#include "directory/company_directory.h"
#include "directory/directory_learning.h"
#include "editing/messages.h"
#include "editing/row_check.h"
#include "archive/account_history.h"
#include "archive/report_archive.h"
#include "cli/findings.h"
#include "cli/reconcile_run.h"
#include "cli/run_log.h"
#include "import/apeh_import.h"
#include "import/load_messages.h"
#include "import/report_reload.h"
#include "records/memory_table.h"
#include "recovery/recovery_file.h"
#include "report/report_writer.h"
#include "report/settings.h"
#include "text/cp1250.h"
#include "util/file_io.h"
#include "util/os_file.h"

namespace kovirant::cli {

bool startsWithXml(const std::filesystem::path& file) {
    const OpenedFile opened = openFile(file, "rb");
    char head[5] = {};
    return opened && std::fread(head, 1, sizeof head, opened.file.get()) == sizeof head &&
           std::string_view(head, sizeof head) == "<?xml";
}

int readable(const std::filesystem::path& file) {
    const OpenedFile opened = openFile(file, "rb");
    if (!opened) return opened.error;
    clearSystemError();
    char byte = 0;
    if (std::fread(&byte, 1, 1, opened.file.get()) == 0 && std::ferror(opened.file.get())) return lastSystemError();
    return 0;
}

bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec) && !ec;
}

std::filesystem::path defaultDirectory(const Options& o, const std::filesystem::path& settings) {
    if (o.directory) return *o.directory;
    if (auto policy = policyPath(kDirectoryPolicyValue)) return *policy;
    return directoryPath(settings.parent_path());
}

std::filesystem::path archiveFolderOf(const Options& o, const std::filesystem::path& settings) {
    if (o.archive) return *o.archive;
    if (auto policy = policyPath(kArchivePolicyValue)) return *policy;
    return defaultArchiveFolder(settings.parent_path());
}

std::filesystem::path settingsOf(const Options& o, const Io& io) {
    return o.settings ? *o.settings : io.currentDirectory / std::string(kSettingsFileName);
}

std::string policyFault(const Options& o) {
    if (!o.archive)
        if (auto policy = policyPath(kArchivePolicyValue))
            if (std::string fault = policyValueFault(kArchivePolicyValue, *policy); !fault.empty()) return fault;
    if (!o.directory)
        if (auto policy = policyPath(kDirectoryPolicyValue))
            if (std::string fault = policyValueFault(kDirectoryPolicyValue, *policy); !fault.empty()) return fault;
    if (o.approve)
        if (auto policy = policyPath(kOutboxPolicyValue))
            if (std::string fault = policyValueFault(kOutboxPolicyValue, *policy); !fault.empty()) return fault;
    return {};
}

}  // namespace kovirant::cli
