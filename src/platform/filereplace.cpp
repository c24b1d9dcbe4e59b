#include "platform/filereplace.h"

#include "platform/filesystem.h"
#include "platform/tempfiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <optional>

namespace kyro {

namespace {

// The journal: its first line, then five NUL-ended fields a file (the target, its new content,
// its old content kept under a second name or "" when there was no old file, and what the target
// and the new content were on the disk when the journal was written), then the end mark. A journal
// without the end mark was cut short before any target was replaced. The first version of the
// journal had the first three fields only.
const std::string kJournalHead = "kyrotune replacement 2\n";
const std::string kJournalHeadV1 = "kyrotune replacement 1\n";
const std::string kJournalEnd = "end\n";
constexpr char kJournalKind[] = "journal";
constexpr char kUndoKind[] = "undo";  // a journal whose replacement is being undone
constexpr std::size_t kMaxJournalBytes = 1u << 20;

// What tells a file on the disk from any other, and from itself once rewritten: a rename keeps
// all of it, a later save's file differs in its inode and times. Unknown for journals of the
// first version.
struct FileIdentity {
    bool known = false;
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    std::int64_t mtimeNs = 0;

    bool operator==(const FileIdentity&) const = default;
};

FileIdentity IdentityOf(const std::string& path) {
    FileIdentity id;
    id.known = true;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        id.known = errno == ENOENT;  // any other failure tells nothing
        return id;
    }
    id.exists = true;
    id.device = st.st_dev;
    id.inode = st.st_ino;
    id.size = st.st_size;
    id.mtimeNs = std::int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
    return id;
}

// Whether the file at `path` is the one described; an unknown identity cannot tell and says yes.
bool IsStill(const std::string& path, const FileIdentity& id) { return !id.known || IdentityOf(path) == id; }

std::string EncodeIdentity(const FileIdentity& id) {
    if (!id.exists) return "-";
    return std::to_string(id.device) + ":" + std::to_string(id.inode) + ":" + std::to_string(id.size) + ":" +
           std::to_string(id.mtimeNs);
}

std::optional<FileIdentity> DecodeIdentity(const std::string& text) {
    FileIdentity id;
    id.known = true;
    if (text == "-") return id;
    unsigned long long device = 0, inode = 0;
    long long size = 0, mtime = 0;
    char end = 0;
    if (std::sscanf(text.c_str(), "%llu:%llu:%lld:%lld%c", &device, &inode, &size, &mtime, &end) != 4)
        return std::nullopt;
    id.exists = true;
    id.device = static_cast<dev_t>(device);
    id.inode = static_cast<ino_t>(inode);
    id.size = static_cast<off_t>(size);
    id.mtimeNs = mtime;
    return id;
}

struct Replacement {
    std::string target;  // native, links resolved
    std::string temp;    // the new content, until it is renamed over the target
    std::string kept;    // a second name of the old file; "" when there was none
    FileIdentity before;  // the target when the journal was written
    FileIdentity after;   // the new content, before and after its rename
};

bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

void Unlink(const std::string& path) {
    if (!path.empty() && ::unlink(path.c_str()) == 0) WriteStepDone();
}

// Keeps the present file reachable under a second name until the whole replacement is done, so
// that it can be put back. "" when there is no file; nothing when it cannot be kept.
std::optional<std::string> KeepOldFile(const std::string& target) {
    struct stat st {};
    if (::stat(target.c_str(), &st) != 0) return errno == ENOENT ? std::optional<std::string>("") : std::nullopt;
    std::string keptPath;
    const int fd = CreateTemporaryBeside(target, keptPath);
    if (fd < 0) return std::nullopt;
    ::close(fd);
    ::unlink(keptPath.c_str());  // the name was only reserved; the link takes it
    if (::link(target.c_str(), keptPath.c_str()) == 0) {
        WriteStepDone();
        return keptPath;
    }
    // File systems without hard links: a copy does the same job.
    auto bytes = ReadNativeFileBytes(target, static_cast<std::size_t>(st.st_size));
    if (!bytes) return std::nullopt;
    return WriteTemporaryBeside(target, *bytes);
}

std::string JournalText(const std::vector<Replacement>& files) {
    std::string text = kJournalHead;
    for (const auto& f : files) {
        for (const std::string& field : {f.target, f.temp, f.kept, EncodeIdentity(f.before), EncodeIdentity(f.after)}) {
            text += field;
            text += '\0';
        }
    }
    return text + kJournalEnd;
}

// A file the journal names must be one of the same process's temporary files beside its target,
// so that a journal edited by hand cannot make the program move files anywhere else.
bool IsTemporaryBeside(const std::string& path, const std::string& target, pid_t pid) {
    auto parsed = ParseTemporaryName(FileNameOf(path));
    return FolderOf(path) == FolderOf(target) && parsed && parsed->pid == pid && parsed->kind == "tmp";
}

std::optional<std::vector<Replacement>> ParseJournal(const std::string& bytes, pid_t pid) {
    const bool first = bytes.compare(0, kJournalHeadV1.size(), kJournalHeadV1) == 0;
    const std::string& head = first ? kJournalHeadV1 : kJournalHead;
    const std::size_t fieldsPerFile = first ? 3 : 5;
    if (bytes.size() < head.size() + kJournalEnd.size() || bytes.compare(0, head.size(), head) != 0 ||
        bytes.compare(bytes.size() - kJournalEnd.size(), std::string::npos, kJournalEnd) != 0)
        return std::nullopt;
    std::vector<std::string> fields;
    const std::size_t end = bytes.size() - kJournalEnd.size();
    for (std::size_t at = head.size(); at < end;) {
        const std::size_t nul = bytes.find('\0', at);
        if (nul == std::string::npos || nul >= end) return std::nullopt;
        fields.push_back(bytes.substr(at, nul - at));
        at = nul + 1;
    }
    if (fields.empty() || fields.size() % fieldsPerFile != 0) return std::nullopt;
    std::vector<Replacement> files;
    for (std::size_t i = 0; i < fields.size(); i += fieldsPerFile) {
        Replacement f{fields[i], fields[i + 1], fields[i + 2], {}, {}};
        if (f.target.empty() || f.target[0] != '/' || !IsTemporaryBeside(f.temp, f.target, pid) ||
            (!f.kept.empty() && !IsTemporaryBeside(f.kept, f.target, pid)))
            return std::nullopt;
        if (first) {
            // No identities were written then. The kept name is a second link to the old target
            // wherever the file system has links, so it tells what the target was.
            if (f.kept.empty()) f.before = FileIdentity{.known = true};  // there was no old file
            else if (FileIdentity kept = IdentityOf(f.kept); kept.exists) f.before = kept;
        } else {
            auto before = DecodeIdentity(fields[i + 3]), after = DecodeIdentity(fields[i + 4]);
            if (!before || !after) return std::nullopt;
            f.before = *before;
            f.after = *after;
        }
        files.push_back(std::move(f));
    }
    return files;
}

// Written and flushed before the first target is replaced: from then on the new files win.
std::optional<std::string> WriteJournal(const std::string& beside, const std::vector<Replacement>& files) {
    std::string path;
    const int fd = CreateTemporaryBeside(beside, path, kJournalKind);
    if (fd < 0) return std::nullopt;
    bool ok = WriteAll(fd, JournalText(files)) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok) {
        ::unlink(path.c_str());
        return std::nullopt;
    }
    SyncFolderOf(path);
    WriteStepDone();
    return path;
}

// Renames every new content that is still waiting over its target. The index of the first that
// cannot be renamed, or -1. Running it again after an interruption goes on where it stopped.
int RollForward(const std::vector<Replacement>& files) {
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (!Exists(files[i].temp)) continue;  // replaced already
        if (::rename(files[i].temp.c_str(), files[i].target.c_str()) != 0) return static_cast<int>(i);
        WriteStepDone();
    }
    return -1;
}

// Puts every old file back, also when run again after an interruption, where the target is still
// the new content (or, for journals without identities, where its new content is gone from its
// temporary name). A kept name of a target that was never replaced is a second name of the target
// itself and is only removed; one that cannot be put back, or whose target has since become
// something else, stays where it is.
void RollBack(const std::vector<Replacement>& files) {
    for (const auto& f : files) {
        const bool replaced = f.after.known ? IdentityOf(f.target) == f.after : !Exists(f.temp);
        Unlink(f.temp);
        if (replaced && !f.kept.empty()) {
            if (::rename(f.kept.c_str(), f.target.c_str()) != 0) continue;
            WriteStepDone();
            Unlink(f.kept);  // still there when it was a second name of the target itself
        } else if (replaced) {
            Unlink(f.target);  // there was no old file
        } else if (IsStill(f.target, f.before)) {
            Unlink(f.kept);
        }
    }
}

// A journal is older than the files it names when a target that it has still to replace is no
// longer the file it found there: a later save has replaced it since. Replaying it would undo
// that save.
bool OvertakenByLaterWrite(const std::vector<Replacement>& files) {
    return std::any_of(files.begin(), files.end(),
                       [](const Replacement& f) { return Exists(f.temp) && !IsStill(f.target, f.before); });
}

// Drops an overtaken journal with the copies it names; the targets stay as they are.
void Discard(const std::string& journal, const std::vector<Replacement>& files) {
    for (const auto& f : files) {
        Unlink(f.temp);
        Unlink(f.kept);
    }
    Unlink(journal);
}

std::string UndoName(const std::string& journal) {
    return journal.substr(0, journal.size() - (sizeof kJournalKind - 1)) + kUndoKind;
}

// Completes a committed replacement, or undoes it when a target cannot be replaced; the journal
// is marked as being undone first, so that an interrupted undo is never rolled forward again.
int Complete(std::string journal, const std::vector<Replacement>& files) {
    const int failed = RollForward(files);
    if (failed < 0) {
        for (const auto& f : files) Unlink(f.kept);
    } else {
        const std::string undo = UndoName(journal);
        if (::rename(journal.c_str(), undo.c_str()) == 0) {
            WriteStepDone();
            journal = undo;
        }
        RollBack(files);
    }
    for (const auto& f : files) SyncFolderOf(f.target);
    Unlink(journal);
    return failed;
}

}  // namespace

int WriteFilesAtomic(const std::vector<FileImage>& files) {
    std::vector<Replacement> pending;
    auto abandon = [&pending] {
        for (const auto& f : pending) {
            Unlink(f.temp);
            Unlink(f.kept);
        }
    };
    for (std::size_t i = 0; i < files.size(); ++i) {
        auto native = NativePath(files[i].dosPath);
        const std::string target = native ? ResolveLinkTarget(*native) : std::string();
        auto temp = native ? WriteTemporaryBeside(target, files[i].bytes) : std::nullopt;
        if (!temp) {
            abandon();
            return static_cast<int>(i);
        }
        pending.push_back({target, *temp, "", {}, {}});
    }
    for (std::size_t i = 0; i < pending.size(); ++i) {
        auto kept = KeepOldFile(pending[i].target);
        if (!kept) {
            abandon();
            return static_cast<int>(i);
        }
        pending[i].kept = *kept;
        pending[i].before = IdentityOf(pending[i].target);
        pending[i].after = IdentityOf(pending[i].temp);
    }
    if (pending.empty()) return -1;
    // Beside the first file as named, so that a start-up looking at that folder finds it.
    auto journal = WriteJournal(*NativePath(files[0].dosPath), pending);
    if (!journal) {
        abandon();
        return 0;
    }
    return Complete(*journal, pending);
}

void RecoverInterruptedWrites(const std::string& dosFolder, const std::vector<std::string>& fileNames,
                              FolderAccess access) {
    auto native = NativePath(dosFolder);
    if (!native) return;
    std::string folder = *native;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();

    // Leftovers of runs that have ended, of the files asked about (their names as the drive map
    // may have found them, in any letter case). With the folder's lock, that is every leftover.
    struct Leftover {
        std::string path;
        TemporaryName name;
        std::int64_t mtimeNs = 0;
    };
    std::vector<Leftover> leftovers;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* d = ::readdir(dir)) {
            auto parsed = ParseTemporaryName(d->d_name);
            if (!parsed || (access == FolderAccess::Shared && !ProcessIsGone(parsed->pid))) continue;
            const bool ours = std::any_of(fileNames.begin(), fileNames.end(), [&](const std::string& name) {
                return ::strcasecmp(name.c_str(), parsed->target.c_str()) == 0;
            });
            const std::string path = folder + "/" + d->d_name;
            if (ours) leftovers.push_back({path, *parsed, IdentityOf(path).mtimeNs});
        }
        ::closedir(dir);
    }
    // Journals first, the newest first: the temporary files they name are the new and old
    // contents of the files, and an older journal then finds its targets overtaken.
    std::sort(leftovers.begin(), leftovers.end(),
              [](const Leftover& a, const Leftover& b) { return a.mtimeNs > b.mtimeNs; });
    for (const auto& [path, name, mtime] : leftovers) {
        if (name.kind != kJournalKind && name.kind != kUndoKind) continue;
        auto bytes = ReadNativeFileBytes(path, kMaxJournalBytes);
        auto files = bytes ? ParseJournal(*bytes, name.pid) : std::nullopt;
        if (!files) {
            Unlink(path);  // cut short before the first replacement: the old files stand
        } else if (name.kind == kUndoKind) {
            RollBack(*files);
            Unlink(path);
        } else if (OvertakenByLaterWrite(*files)) {
            Discard(path, *files);
        } else {
            Complete(path, *files);
        }
    }
    for (const auto& [path, name, mtime] : leftovers)
        if (name.kind == "tmp") Unlink(path);
}

}  // namespace kyro
