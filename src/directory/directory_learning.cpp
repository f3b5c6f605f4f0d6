#include "directory/directory_learning.h"

#include "text/cp1250.h"

namespace kovirant {

LearningOutcome learnIntoDirectory(const std::filesystem::path& file, CompanyNumberLimits limits,
                                   const std::function<std::size_t(CompanyDirectory&)>& learn, int waitMs) {
    LearningOutcome out;
    FileLock lock;
    const LockOutcome locked = lock.acquire(lockFileOf(file), waitMs);
    out.holder = locked.other;
    out.tookOver = locked.status == LockStatus::TakenOver;
    if (locked.status == LockStatus::Busy) {
        out.status = LearningStatus::Busy;
        return out;
    }
    if (locked.status == LockStatus::Failed) {
        out.status = LearningStatus::LockFailed;
        out.errorCode = locked.errorCode;
        return out;
    }
    LoadedDirectory loaded = loadDirectory(file, limits);
    if (loaded.status == DirectoryStatus::Unreadable) {
        out.status = LearningStatus::Unreadable;
        out.errorCode = loaded.errorCode;
        return out;
    }
    if (loaded.directory.unintelligible()) {
        out.status = LearningStatus::Unintelligible;
        return out;
    }
    out.learnt = learn(loaded.directory);
    if (out.learnt == 0) return out;
    if (const int err = saveDirectory(file, loaded.directory)) {
        out.status = LearningStatus::WriteFailed;
        out.errorCode = err;
        return out;
    }
    out.status = LearningStatus::Learnt;
    return out;
}

std::string learningText(const LearningOutcome& o, const std::filesystem::path& file) {
    const std::string path = utf16ToCp1250(file.u16string());
    const std::string code = " Hibakód=" + std::to_string(o.errorCode) + ".";
    auto who = [&] {
        return utf8ToCp1250(o.holder.user) + " (" + utf8ToCp1250(o.holder.machine) + " gépen)";
    };
    std::string text;
    switch (o.status) {
        case LearningStatus::NothingNew:
        case LearningStatus::Learnt: break;
        case LearningStatus::Unreadable:
            text = "A cégtárat (" + path + ") nem sikerült frissíteni, mert nem olvasható." + code;
            break;
        case LearningStatus::Unintelligible:
            text = "A cégtárat nem frissítettem, mert a cégtár (" + path + ") egyetlen sorát sem tudtam értelmezni.";
            break;
        case LearningStatus::Busy:
            text = "A cégtárat (" + path + ") nem frissítettem: " + who() +
                   " éppen frissíti, és 10 másodperc alatt sem végzett. A most tanult sorok kimaradtak; a jelentés "
                   "elkészült.";
            break;
        case LearningStatus::LockFailed:
        case LearningStatus::WriteFailed:
            text = "A cégtárat (" + path + ") nem sikerült frissíteni; a korábbi állomány ép maradt." + code;
            break;
    }
    if (o.tookOver) {
        const std::string over = "A cégtár zárolását átvettem " + who() + " megszakadt futásától.";
        text = text.empty() ? over : over + " " + text;
    }
    return text;
}

}  // namespace kovirant
