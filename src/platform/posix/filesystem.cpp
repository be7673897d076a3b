// The POSIX file system behind both backends.
//
// Engine paths come from scripts written for a case-insensitive system, so
// every component is looked up in a listing of its host folder: the exact
// spelling first, else the first entry (in host byte order) that differs
// only in ASCII letter case. Listings are cached per host folder. A lookup
// that misses re-reads the folder when its modification time moved (a file
// that another program created, such as the compiler writing its output),
// and a cached entry that turns out to be gone drops the whole cache once.
//
// The object may be used from several threads (the cache is locked); Files
// are not shared. SetBaseDir belongs to start-up: BaseDir() returns a
// reference that a concurrent SetBaseDir would invalidate.
#include "platform/filesystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "common/encoding.h"
#include "common/sjis.h"
#include "platform/host_paths.h"
#include "platform/posix/unique_fd.h"

namespace vv::platform {

namespace {

// Folders whose listings stay cached at once; a script that walks a large
// tree must not grow the cache without bound.
constexpr size_t kMaxCachedFolders = 512;
constexpr size_t kCopyChunk = 64 * 1024;

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// The components of an engine path, split at `\` and `/` outside two-byte
// characters; empty components (doubled separators) are dropped.
std::vector<std::string_view> SplitEnginePath(std::string_view path) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (size_t i = 0; i < path.size();) {
    const size_t n = common::SjisCharLength(path, i);
    if (n == 1 && IsSeparator(path[i])) {
      if (i > start) parts.push_back(path.substr(start, i - start));
      start = i + 1;
    }
    i += n;
  }
  if (start < path.size()) parts.push_back(path.substr(start));
  return parts;
}

std::string JoinHost(const std::string& dir, std::string_view name) {
  std::string out = dir;
  if (out.empty() || out.back() != '/') out += '/';
  out += name;
  return out;
}

std::string_view HostBaseName(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string_view(path)
                                    : std::string_view(path).substr(slash + 1);
}

// A host name as the engine sees it: UTF-8 names converted (characters
// without a Shift-JIS form become '?'), anything else taken as raw bytes.
std::string EngineNameOf(std::string_view hostName) {
  if (common::IsValidUtf8(hostName)) return common::Utf8ToSjisLossy(hostName);
  return std::string(hostName);
}

std::string Folded(std::string_view sjis) {
  std::string out(sjis);
  common::SjisLowerAscii(out);
  return out;
}

bool SameTime(const timespec& a, const timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// Folder times move in clock ticks, so a file created in the same tick as
// the listing leaves the time unchanged: a listing read within this long
// of its folder's last change is read again on a miss.
constexpr int64_t kTimeTrustNs = 1'000'000'000;

int64_t Nanoseconds(const timespec& t) {
  return static_cast<int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

// The armed write fault, shared by the file system and the Files it
// opened (a File may outlive the arming call).
class FaultState {
 public:
  void Arm(std::optional<WriteFault> fault) {
    std::lock_guard lock(mutex_);
    fault_ = fault;
    written_ = 0;
  }

  // How many of `bytes` may be written; when fewer, the write fails with
  // `error` after them and the fault is spent.
  size_t Allow(size_t bytes, int& error) {
    std::lock_guard lock(mutex_);
    if (!fault_) return bytes;
    const uint64_t left = fault_->atByte > written_ ? fault_->atByte - written_ : 0;
    if (bytes <= left) {
      written_ += bytes;
      return bytes;
    }
    error = fault_->error;
    fault_.reset();
    return static_cast<size_t>(left);
  }

  // Whether a durable flush fails now (every byte before the fault got
  // through); the fault is spent when it does.
  bool FlushFails(int& error) {
    std::lock_guard lock(mutex_);
    if (!fault_ || written_ < fault_->atByte) return false;
    error = fault_->error;
    fault_.reset();
    return true;
  }

 private:
  std::mutex mutex_;
  std::optional<WriteFault> fault_;
  uint64_t written_ = 0;
};

// Writes all of `bytes` to `fd` (retrying interrupted and short writes),
// honouring the armed fault. Returns 0 or the errno of the failure; `done`
// counts the bytes that reached the file.
int WriteAll(int fd, const uint8_t* bytes, size_t count, FaultState* faults, size_t& done) {
  done = 0;
  int faultError = 0;
  const size_t allowed = faults ? faults->Allow(count, faultError) : count;
  while (done < allowed) {
    const ssize_t n = ::write(fd, bytes + done, allowed - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n < 0 && errno != EINTR) {
      return errno;
    }
  }
  return allowed < count ? faultError : 0;
}

class PosixFile final : public File {
 public:
  PosixFile(UniqueFd fd, std::shared_ptr<FaultState> faults) : fd_(std::move(fd)), faults_(std::move(faults)) {}

  int64_t Size() override {
    struct stat st {};
    if (fstat(fd_.get(), &st) != 0) return Failed(-1);
    return st.st_size;
  }

  bool Seek(uint64_t offset) override {
    if (offset > static_cast<uint64_t>(INT64_MAX)) {
      error_ = EINVAL;
      return false;
    }
    if (lseek(fd_.get(), static_cast<off_t>(offset), SEEK_SET) < 0) return Failed(false);
    return true;
  }

  int64_t Tell() override {
    const off_t pos = lseek(fd_.get(), 0, SEEK_CUR);
    if (pos < 0) return Failed(-1);
    return pos;
  }

  size_t Read(void* out, size_t bytes) override {
    auto* dst = static_cast<uint8_t*>(out);
    size_t done = 0;
    while (done < bytes) {
      const ssize_t n = ::read(fd_.get(), dst + done, bytes - done);
      if (n > 0) {
        done += static_cast<size_t>(n);
      } else if (n == 0) {
        break;
      } else if (errno != EINTR) {
        error_ = errno;
        break;
      }
    }
    return done;
  }

  size_t Write(const void* in, size_t bytes) override {
    size_t done = 0;
    if (const int error = WriteAll(fd_.get(), static_cast<const uint8_t*>(in), bytes, faults_.get(), done)) {
      error_ = error;
    }
    return done;
  }

  // Writes go straight to the descriptor, so only the durable flush has
  // anything to do.
  bool Flush(bool durable) override {
    if (!durable) return true;
    if (int error = 0; faults_->FlushFails(error)) {
      error_ = error;
      return false;
    }
    if (fsync(fd_.get()) != 0) return Failed(false);
    return true;
  }

  int LastError() const override { return error_; }

 private:
  template <typename T>
  T Failed(T result) {
    error_ = errno;
    return result;
  }

  UniqueFd fd_;
  std::shared_ptr<FaultState> faults_;
  int error_ = 0;
};

struct HostEntry {
  std::string hostName;
  std::string nameSjis;
  bool isDirectory = false;
};

struct Listing {
  std::vector<HostEntry> entries;  // in byte order of the host names
  std::unordered_map<std::string, std::vector<size_t>> byFolded;
  timespec modified{};  // the folder's time when it was read
  timespec readAt{};    // the wall clock then
};

// Where a walk over an engine path ended.
struct Walked {
  std::string host;
  bool existed = false;  // every component named an existing entry
  std::string_view lastComponent;
};

class PosixFileSystem final : public FileSystem {
 public:
  explicit PosixFileSystem(std::string baseDir) { SetBaseDir(std::move(baseDir)); }

  void SetBaseDir(std::string hostDir) override {
    base_ = AbsoluteHostPath(hostDir.empty() ? std::string(".") : hostDir);
  }
  const std::string& BaseDir() const override { return base_; }

  std::optional<std::string> Resolve(std::string_view enginePath) override {
    struct stat st {};
    return ResolveExisting(enginePath, st);
  }

  std::string ResolveForCreate(std::string_view enginePath) override {
    Walked w;
    if (!Walk(enginePath, true, w)) return {};
    return w.host;
  }

  std::unique_ptr<File> Open(std::string_view enginePath, OpenMode mode) override {
    std::string host;
    bool created = false;
    int flags = O_CLOEXEC;
    switch (mode) {
      case OpenMode::Read: flags |= O_RDONLY; break;
      case OpenMode::Write: flags |= O_WRONLY | O_CREAT | O_TRUNC; break;
      case OpenMode::ReadWrite: flags |= O_RDWR; break;
      case OpenMode::Append: flags |= O_WRONLY | O_CREAT | O_APPEND; break;
    }
    if (mode == OpenMode::Read || mode == OpenMode::ReadWrite) {
      struct stat st {};
      auto found = ResolveExisting(enginePath, st);
      if (!found) return nullptr;
      host = std::move(*found);
    } else {
      Walked w;
      if (!Walk(enginePath, true, w)) return nullptr;
      host = std::move(w.host);
      created = !w.existed;
    }
    UniqueFd fd(::open(host.c_str(), flags, 0666));
    if (!fd.valid()) return FailedWith(errno), nullptr;
    struct stat st {};
    if (fstat(fd.get(), &st) != 0) return FailedWith(errno), nullptr;
    if (S_ISDIR(st.st_mode)) return FailedWith(EISDIR), nullptr;
    if (created) Forget(host);
    return std::make_unique<PosixFile>(std::move(fd), faults_);
  }

  std::optional<std::vector<DirEntry>> List(std::string_view enginePath) override {
    struct stat st {};
    auto host = ResolveExisting(enginePath, st);
    if (!host) return std::nullopt;
    if (!S_ISDIR(st.st_mode)) return FailedWith(ENOTDIR), std::nullopt;
    UniqueFd dirFd(::open(host->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dirFd.valid()) return FailedWith(errno), std::nullopt;
    DIR* dir = fdopendir(dirFd.get());
    if (dir == nullptr) return FailedWith(errno), std::nullopt;
    dirFd.Release();  // the DIR owns it now
    std::vector<DirEntry> out;
    while (dirent* d = readdir(dir)) {
      const std::string_view name(d->d_name);
      if (name == "." || name == "..") continue;
      DirEntry e;
      e.hostName = std::string(name);
      e.nameSjis = EngineNameOf(name);
      struct stat est {};
      if (fstatat(dirfd(dir), d->d_name, &est, 0) == 0 ||
          fstatat(dirfd(dir), d->d_name, &est, AT_SYMLINK_NOFOLLOW) == 0) {
        e.isDirectory = S_ISDIR(est.st_mode);
        e.size = e.isDirectory ? 0 : static_cast<uint64_t>(est.st_size);
      }
      out.push_back(std::move(e));
    }
    closedir(dir);
    std::sort(out.begin(), out.end(),
              [](const DirEntry& a, const DirEntry& b) { return a.hostName < b.hostName; });
    return out;
  }

  bool Exists(std::string_view enginePath) override {
    struct stat st {};
    return ResolveExisting(enginePath, st).has_value();
  }

  bool IsDirectory(std::string_view enginePath) override {
    struct stat st {};
    return ResolveExisting(enginePath, st).has_value() && S_ISDIR(st.st_mode);
  }

  // A folder that exists already counts as created: callers ask for the
  // folder to be there, not for the act of making it.
  bool CreateDirectory(std::string_view enginePath) override {
    Walked w;
    if (!Walk(enginePath, true, w)) return false;
    struct stat st {};
    if (w.existed && stat(w.host.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return true;
    if (mkdir(w.host.c_str(), 0777) != 0) return FailedWith(errno);
    Forget(w.host);
    return true;
  }

  bool Remove(std::string_view enginePath) override {
    struct stat st {};
    auto host = ResolveExisting(enginePath, st);
    if (!host) return false;
    if (S_ISDIR(st.st_mode)) return FailedWith(EISDIR);
    const bool ok = unlink(host->c_str()) == 0 || FailedWith(errno);
    Forget(*host);
    return ok;
  }

  bool RemoveDirectory(std::string_view enginePath) override {
    struct stat st {};
    auto host = ResolveExisting(enginePath, st);
    if (!host) return false;
    const bool ok = rmdir(host->c_str()) == 0 || FailedWith(errno);
    Forget(*host);
    return ok;
  }

  bool Rename(std::string_view from, std::string_view to) override {
    struct stat st {};
    auto source = ResolveExisting(from, st);
    if (!source) return false;
    Walked target;
    if (!Walk(to, true, target)) return false;
    // A rename that changes only the letter case finds the source itself as
    // the target; the new spelling is what the caller wants on the host.
    if (target.host == *source && !target.lastComponent.empty() &&
        EngineNameOf(HostBaseName(*source)) != target.lastComponent) {
      target.host = JoinHost(HostParent(*source), common::SjisToUtf8(target.lastComponent));
    }
    const bool ok = ::rename(source->c_str(), target.host.c_str()) == 0 || FailedWith(errno);
    Forget(*source);
    Forget(target.host);
    return ok;
  }

  // Copies through a temporary file in the target's folder that is renamed
  // over the target, so a reader never sees half a file and a failed copy
  // leaves the old target as it was.
  bool Copy(std::string_view from, std::string_view to) override {
    struct stat st {};
    auto source = ResolveExisting(from, st);
    if (!source) return false;
    if (!S_ISREG(st.st_mode)) return FailedWith(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    Walked target;
    if (!Walk(to, true, target)) return false;
    UniqueFd in(::open(source->c_str(), O_RDONLY | O_CLOEXEC));
    if (!in.valid()) return FailedWith(errno);
    std::string temp = JoinHost(HostParent(target.host), ".vvcopy-XXXXXX");
    UniqueFd out(mkostemp(temp.data(), O_CLOEXEC));
    if (!out.valid()) return FailedWith(errno);
    const int error = CopyContents(in.get(), out.get(), st.st_mode & 0777);
    const bool closed = ::close(out.Release()) == 0;
    if (error != 0 || !closed || ::rename(temp.c_str(), target.host.c_str()) != 0) {
      const int why = error != 0 ? error : errno;
      unlink(temp.c_str());
      return FailedWith(why);
    }
    Forget(target.host);
    return true;
  }

  bool SyncDirectory(std::string_view enginePath) override {
    struct stat st {};
    auto host = ResolveExisting(enginePath, st);
    if (!host) return false;
    UniqueFd dir(::open(host->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir.valid()) return FailedWith(errno);
    // Some file systems cannot sync a folder at all (EINVAL); there is
    // nothing more to do there, so that is not a failure.
    if (fsync(dir.get()) != 0 && errno != EINVAL) return FailedWith(errno);
    return true;
  }

  void Invalidate() override {
    std::lock_guard lock(mutex_);
    cache_.clear();
  }

  bool ReplaceFile(std::string_view enginePath, std::span<const std::span<const uint8_t>> pieces) override {
    Walked target;
    if (!Walk(enginePath, true, target)) return false;
    const std::string folder = HostParent(target.host);
    const std::string base(HostBaseName(target.host));
    if (base.empty() || base == "." || base == "..") return FailedWith(EINVAL);
    UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir.valid()) return FailedWith(errno);
    struct stat old {};
    const bool hadOld = fstatat(dir.get(), base.c_str(), &old, 0) == 0;
    if (hadOld && S_ISDIR(old.st_mode)) return FailedWith(EISDIR);

    RemoveStaleTemporaries(dir.get(), base);
    Temporary temp(dir.get(), tempSerial_);
    if (const int error = temp.Open(base)) return FailedWith(error);
    for (const auto& piece : pieces) {
      size_t done = 0;
      if (const int error = WriteAll(temp.fd(), piece.data(), piece.size(), faults_.get(), done)) {
        return FailedWith(error);
      }
    }
    if (hadOld && fchmod(temp.fd(), old.st_mode & 07777) != 0) return FailedWith(errno);
    if (int error = 0; faults_->FlushFails(error)) return FailedWith(error);
    if (fsync(temp.fd()) != 0) return FailedWith(errno);
    if (const int error = temp.Publish(base)) return FailedWith(error);
    Forget(target.host);
    // The rename is done; a folder that cannot be flushed (EINVAL: the file
    // system has no way to) keeps it as durable as that file system allows.
    if (fsync(dir.get()) != 0 && errno != EINVAL) return FailedWith(errno);
    return true;
  }

  void SetWriteFault(std::optional<WriteFault> fault) override { faults_->Arm(fault); }

  int LastError() const override { return lastError_.load(); }

 private:
  bool FailedWith(int error) {
    lastError_.store(error);
    return false;
  }

  // Copies all of `in` to `out`, gives `out` the source's permission bits
  // and syncs it. Returns 0 or the errno of the failure.
  static int CopyContents(int in, int out, mode_t mode) {
    std::vector<uint8_t> buffer(kCopyChunk);
    for (;;) {
      const ssize_t n = ::read(in, buffer.data(), buffer.size());
      if (n == 0) break;
      if (n < 0) {
        if (errno == EINTR) continue;
        return errno;
      }
      size_t done = 0;
      while (done < static_cast<size_t>(n)) {
        const ssize_t w = ::write(out, buffer.data() + done, static_cast<size_t>(n) - done);
        if (w < 0) {
          if (errno == EINTR) continue;
          return errno;
        }
        done += static_cast<size_t>(w);
      }
    }
    if (fchmod(out, mode) != 0) return errno;
    if (fsync(out) != 0) return errno;
    return 0;
  }

  // Resolves an engine path to an existing entry and stats it. A cached
  // listing may name an entry that has gone since; then the cache is dropped
  // and the walk done once more from fresh listings.
  std::optional<std::string> ResolveExisting(std::string_view enginePath, struct stat& st) {
    for (int attempt = 0; attempt < 2; ++attempt) {
      Walked w;
      if (!Walk(enginePath, false, w)) return std::nullopt;
      if (stat(w.host.c_str(), &st) == 0) return std::move(w.host);
      if (errno != ENOENT || attempt == 1) return FailedWith(errno), std::nullopt;
      Invalidate();
    }
    return std::nullopt;
  }

  // Walks `enginePath` from the base folder (or the root when it starts with
  // a separator). Without `forCreate` every component must match an entry;
  // with it, the first missing component and the rest are converted to
  // UTF-8 instead. False (with the error stored) when the path cannot be
  // walked at all.
  bool Walk(std::string_view enginePath, bool forCreate, Walked& out) {
    if (enginePath.find('\0') != std::string_view::npos) return FailedWith(EINVAL);
    const auto parts = SplitEnginePath(enginePath);
    std::string cur =
        (!enginePath.empty() && IsSeparator(enginePath[0])) ? std::string("/") : base_;
    size_t missingDepth = 0;  // components appended that do not exist
    std::lock_guard lock(mutex_);
    for (size_t i = 0; i < parts.size(); ++i) {
      const std::string_view part = parts[i];
      if (part == ".") continue;
      if (part == "..") {
        cur = HostParent(cur);
        if (missingDepth > 0) --missingDepth;
        continue;
      }
      out.lastComponent = part;
      if (missingDepth == 0) {
        const bool last = i + 1 == parts.size();
        int error = 0;
        if (const HostEntry* e = LookUp(cur, part, !last, error)) {
          cur = JoinHost(cur, e->hostName);
          continue;
        }
        if (!forCreate) return FailedWith(error);
      }
      cur = JoinHost(cur, common::SjisToUtf8(part));
      ++missingDepth;
    }
    out.host = std::move(cur);
    out.existed = missingDepth == 0;
    return true;
  }

  // The entry of folder `dir` that `component` names. `wantDirectory`
  // ignores entries that are not folders (a middle component).
  const HostEntry* LookUp(const std::string& dir, std::string_view component, bool wantDirectory,
                          int& error) {
    const Listing* listing = Cached(dir, error);
    if (listing == nullptr) return nullptr;
    if (const HostEntry* e = Match(*listing, component, wantDirectory)) return e;
    // A miss may be a file created behind our back; the folder's time says.
    struct stat st {};
    const bool changed = stat(dir.c_str(), &st) == 0 && !SameTime(st.st_mtim, listing->modified);
    if (changed || Nanoseconds(listing->readAt) - Nanoseconds(listing->modified) < kTimeTrustNs) {
      cache_.erase(dir);
      listing = Cached(dir, error);
      if (listing == nullptr) return nullptr;
      if (const HostEntry* e = Match(*listing, component, wantDirectory)) return e;
    }
    error = ENOENT;
    return nullptr;
  }

  static const HostEntry* Match(const Listing& listing, std::string_view component,
                                bool wantDirectory) {
    const auto it = listing.byFolded.find(Folded(component));
    if (it == listing.byFolded.end()) return nullptr;
    const HostEntry* best = nullptr;
    for (size_t index : it->second) {
      const HostEntry& e = listing.entries[index];
      if (wantDirectory && !e.isDirectory) continue;
      if (e.nameSjis == component) return &e;
      if (best == nullptr) best = &e;
    }
    return best;
  }

  // The cached listing of `dir`, read when missing. Call with mutex_ held.
  const Listing* Cached(const std::string& dir, int& error) {
    if (auto it = cache_.find(dir); it != cache_.end()) return &it->second;
    Listing listing;
    if (!ReadListing(dir, listing, error)) return nullptr;
    if (cache_.size() >= kMaxCachedFolders) cache_.clear();
    return &cache_.emplace(dir, std::move(listing)).first->second;
  }

  static bool ReadListing(const std::string& dir, Listing& out, int& error) {
    UniqueFd fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.valid()) {
      error = errno;
      return false;
    }
    struct stat st {};
    // The time is taken before reading: a change during the read makes the
    // next miss read the folder again.
    if (fstat(fd.get(), &st) == 0) out.modified = st.st_mtim;
    clock_gettime(CLOCK_REALTIME, &out.readAt);
    DIR* d = fdopendir(fd.get());
    if (d == nullptr) {
      error = errno;
      return false;
    }
    fd.Release();
    while (dirent* ent = readdir(d)) {
      const std::string_view name(ent->d_name);
      if (name == "." || name == "..") continue;
      HostEntry e;
      e.hostName = std::string(name);
      e.nameSjis = EngineNameOf(name);
      if (ent->d_type == DT_DIR) {
        e.isDirectory = true;
      } else if (ent->d_type == DT_LNK || ent->d_type == DT_UNKNOWN) {
        struct stat est {};
        e.isDirectory = fstatat(dirfd(d), ent->d_name, &est, 0) == 0 && S_ISDIR(est.st_mode);
      }
      out.entries.push_back(std::move(e));
    }
    closedir(d);
    std::sort(out.entries.begin(), out.entries.end(),
              [](const HostEntry& a, const HostEntry& b) { return a.hostName < b.hostName; });
    for (size_t i = 0; i < out.entries.size(); ++i) {
      out.byFolded[Folded(out.entries[i].nameSjis)].push_back(i);
    }
    return true;
  }

  // Drops what a change to `hostPath` makes stale: its folder's listing,
  // and its own listing and those below it when it is (was) a folder.
  void Forget(const std::string& hostPath) {
    std::lock_guard lock(mutex_);
    cache_.erase(HostParent(hostPath));
    const std::string below = hostPath + "/";
    for (auto it = cache_.begin(); it != cache_.end();) {
      if (it->first == hostPath || it->first.compare(0, below.size(), below) == 0) {
        it = cache_.erase(it);
      } else {
        ++it;
      }
    }
  }

  // A process killed between naming its new file and renaming it over the
  // target leaves ".<base>.<pid>.<n>.part" behind; the next replacement of
  // the same target removes those of processes that are gone.
  static void RemoveStaleTemporaries(int dir, const std::string& base) {
    UniqueFd copy(::dup(dir));
    if (!copy.valid()) return;
    DIR* d = fdopendir(copy.get());
    if (d == nullptr) return;
    copy.Release();
    const std::string prefix = "." + base + ".";
    constexpr std::string_view kSuffix = ".part";
    std::vector<std::string> stale;
    while (dirent* e = readdir(d)) {
      const std::string_view name(e->d_name);
      if (name.size() <= prefix.size() + kSuffix.size() || !name.starts_with(prefix) || !name.ends_with(kSuffix)) {
        continue;
      }
      const std::string_view middle = name.substr(prefix.size(), name.size() - prefix.size() - kSuffix.size());
      const size_t dot = middle.find('.');
      if (dot == 0 || dot == std::string_view::npos || dot > 9) continue;
      long pid = 0;
      bool digits = true;
      for (char c : middle.substr(0, dot)) {
        digits = digits && c >= '0' && c <= '9';
        pid = pid * 10 + (c - '0');
      }
      if (!digits || pid <= 0 || pid == static_cast<long>(getpid())) continue;
      // EPERM: alive, but another user's.
      if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
      stale.emplace_back(name);
    }
    for (const std::string& name : stale) unlinkat(dirfd(d), name.c_str(), 0);
    closedir(d);
  }

  // The new content of a file being replaced. It starts without a name
  // where the file system allows (O_TMPFILE), so a crash while it is
  // written leaves nothing behind; elsewhere it is a hidden file beside the
  // target. It gets its final name only in Publish; destroyed before that,
  // it is gone.
  class Temporary {
   public:
    Temporary(int dir, std::atomic<uint32_t>& serial) : dir_(dir), serial_(serial) {}
    Temporary(const Temporary&) = delete;
    Temporary& operator=(const Temporary&) = delete;
    ~Temporary() {
      if (!name_.empty()) unlinkat(dir_, name_.c_str(), 0);
    }

    int fd() const { return fd_.get(); }

    // 0 or the errno of the failure.
    int Open(const std::string& base) {
#ifdef O_TMPFILE
      fd_.Reset(::openat(dir_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
      if (fd_.valid()) return 0;
      // Older kernels and some file systems do not know unnamed files.
      if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL && errno != ENOENT) return errno;
#endif
      for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = HiddenName(base);
        fd_.Reset(::openat(dir_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (fd_.valid()) {
          name_ = name;
          return 0;
        }
        if (errno != EEXIST) return errno;
      }
      return EEXIST;
    }

    // Renames the written file over `base`; 0 or the errno of the failure.
    int Publish(const std::string& base) {
      if (name_.empty()) {
        // An unnamed file needs a name before it can be renamed over the
        // target: linkat cannot replace an existing entry.
        const std::string name = HiddenName(base);
        char self[64];
        std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd_.get());
        if (linkat(AT_FDCWD, self, dir_, name.c_str(), AT_SYMLINK_FOLLOW) != 0 &&
            linkat(fd_.get(), "", dir_, name.c_str(), AT_EMPTY_PATH) != 0) {
          return errno;
        }
        name_ = name;
      }
      if (renameat(dir_, name_.c_str(), dir_, base.c_str()) != 0) return errno;
      name_.clear();
      return 0;
    }

   private:
    std::string HiddenName(const std::string& base) {
      char suffix[48];
      std::snprintf(suffix, sizeof suffix, ".%ld.%u.part", static_cast<long>(getpid()),
                    serial_.fetch_add(1));
      return "." + base + suffix;
    }

    int dir_;
    std::atomic<uint32_t>& serial_;
    UniqueFd fd_;
    std::string name_;  // the name in dir_, empty while unnamed or once published
  };

  std::string base_;
  std::mutex mutex_;
  std::unordered_map<std::string, Listing> cache_;
  std::atomic<int> lastError_{0};
  std::shared_ptr<FaultState> faults_ = std::make_shared<FaultState>();
  std::atomic<uint32_t> tempSerial_{0};
};

}  // namespace

bool FileSystem::ReplaceFile(std::string_view, std::span<const std::span<const uint8_t>>) { return false; }

void FileSystem::SetWriteFault(std::optional<WriteFault>) {}

std::string ErrorNumberText(int error) {
  char buffer[256];
  // The GNU strerror_r returns its text (maybe not in the buffer); the
  // engine runs in the C locale, so the text is ASCII.
  const char* text = strerror_r(error, buffer, sizeof buffer);
  return text != nullptr ? std::string(text) : std::string();
}

std::string HostToEnginePath(std::string_view hostPath) {
  std::string out;
  size_t start = 0;
  for (;;) {
    const size_t slash = hostPath.find('/', start);
    const std::string_view part = hostPath.substr(start, slash - start);
    out += EngineNameOf(part);
    if (slash == std::string_view::npos) break;
    out += '\\';
    start = slash + 1;
  }
  return out;
}

std::unique_ptr<FileSystem> CreatePosixFileSystem(std::string baseDir) {
  return std::make_unique<PosixFileSystem>(std::move(baseDir));
}

}  // namespace vv::platform
