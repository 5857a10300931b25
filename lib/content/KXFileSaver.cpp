#include "content/KXFileSaver.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <random>
#include <utility>

#include "core/KXException.h"
#include "core/KXGlobal.h"
#include "SkStrUtils.h"
#include "SkStream.h"

namespace fs = std::filesystem;

namespace {

const char kNulInName[] = "Cannot save to \"%s\": a file name cannot hold a NUL character.";
const char kNoName[] = "Cannot save to \"%s\": the name is empty or only dots or blanks.";
const char kLink[] = "Cannot save to \"%s\": it is a symbolic link.";
const char kFolder[] = "Cannot save to \"%s\": it is a folder.";
const char kSpecial[] = "Cannot save to \"%s\": it is not a regular file.";
const char kOwnFile[] = "Cannot save to \"%s\": it is one of the application's own files.";
const char kQuota[] = "Cannot save to \"%s\": the folder would hold more than its quota of %s bytes.";
const char kFailed[] = "Cannot save to \"%s\": %s.";

const char kTempPrefix[] = ".kxsave-";
constexpr size_t kBlockSize = 65536;
constexpr int kTempAttempts = 100;

// The name as the message shows it: control characters (a NUL among them) become "?".
std::string Printable(const std::string& AName) {
  std::string S = AName;
  for (char& C : S)
    if (static_cast<unsigned char>(C) < 0x20 || C == 0x7F) C = '?';
  return S;
}

[[noreturn]] void Refuse(const char* AFormat, const std::string& AName, const std::string& AReason = "") {
  std::string Text = AFormat;
  const std::string Shown = Printable(AName);
  const size_t First = Text.find("%s");
  Text.replace(First, 2, Shown);
  const size_t Second = Text.find("%s", First + Shown.size());
  if (Second != std::string::npos) Text.replace(Second, 2, AReason);
  throw EKXException(Text);
}

[[noreturn]] void RefuseErrno(const std::string& AName, int AErrno) {
  if (AErrno == EISDIR) Refuse(kFolder, AName);
  Refuse(kFailed, AName, std::strerror(AErrno));
}

struct TFolderId {
  dev_t Dev;
  ino_t Ino;
  bool operator<(const TFolderId& B) const { return std::pair(Dev, Ino) < std::pair(B.Dev, B.Ino); }
  bool operator==(const TFolderId& B) const { return Dev == B.Dev && Ino == B.Ino; }
};

struct TSaveRules {
  // Guards every field. Held for one folder scan at most, never while data is written.
  std::mutex Lock;
  int64_t Quota = 0;
  std::map<TFolderId, int64_t> Reserved;   // bytes of saves under way, per folder
};

TSaveRules& Rules() {
  static TSaveRules R;
  return R;
}

fs::path Executable() {
  std::error_code Ec;
  return fs::read_symlink("/proc/self/exe", Ec);
}

bool FolderIs(const TFolderId& AId, const std::string& AFolder) {
  struct stat St;
  return !AFolder.empty() && ::stat(AFolder.c_str(), &St) == 0 && TFolderId{St.st_dev, St.st_ino} == AId;
}

bool IsProtectedFolder(const TFolderId& AId) {
  return FolderIs(AId, Executable().parent_path().string()) || FolderIs(AId, KXApplicationFolder());
}

bool IsOwnFileName(const std::string& AName) {
  for (const std::string& Own : TKXFileSaver::OwnFileNames())
    if (SameText(Own, AName)) return true;
  return false;
}

// Closes a descriptor when it goes.
class TFd {
public:
  explicit TFd(int AFd = -1) : FFd(AFd) {}
  ~TFd() {
    if (FFd >= 0) ::close(FFd);
  }
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  int Get() const { return FFd; }

private:
  int FFd;
};

// Bytes of the regular files directly in the folder, ASkip left out (it is about to be replaced).
int64_t FolderBytes(int ADirFd, const std::string& ASkip) {
  const int Fd = ::openat(ADirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (Fd < 0) return 0;
  DIR* Dir = ::fdopendir(Fd);
  if (!Dir) {
    ::close(Fd);
    return 0;
  }
  int64_t Total = 0;
  while (const dirent* E = ::readdir(Dir)) {
    struct stat St;
    if (ASkip == E->d_name || ::fstatat(ADirFd, E->d_name, &St, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISREG(St.st_mode)) Total += St.st_size;
  }
  ::closedir(Dir);
  return Total;
}

// The bytes of one save counted against its folder's quota until the save is over. Saves under
// way count twice at worst (their temporary file and their reservation), never not at all.
class TQuotaReservation {
public:
  TQuotaReservation(int ADirFd, const TFolderId& AFolder, const std::string& AName, int64_t ABytes,
                    const std::string& AShownName)
      : FFolder(AFolder) {
    TSaveRules& R = Rules();
    std::lock_guard Guard(R.Lock);
    if (R.Quota <= 0) return;
    const int64_t Held = FolderBytes(ADirFd, AName) + R.Reserved[AFolder];
    if (ABytes > R.Quota - Held) {
      if (R.Reserved[AFolder] == 0) R.Reserved.erase(AFolder);
      Refuse(kQuota, AShownName, std::to_string(R.Quota));
    }
    R.Reserved[AFolder] += ABytes;
    FBytes = ABytes;
  }
  ~TQuotaReservation() {
    if (FBytes == 0) return;
    TSaveRules& R = Rules();
    std::lock_guard Guard(R.Lock);
    if ((R.Reserved[FFolder] -= FBytes) <= 0) R.Reserved.erase(FFolder);
  }
  TQuotaReservation(const TQuotaReservation&) = delete;
  TQuotaReservation& operator=(const TQuotaReservation&) = delete;

private:
  TFolderId FFolder;
  int64_t FBytes = 0;
};

// A new file in the folder that nobody else can have opened: O_EXCL never follows a link.
class TTempFile {
public:
  TTempFile(int ADirFd, const std::string& AShownName) : FDirFd(ADirFd) {
    thread_local std::mt19937_64 Random{std::random_device{}()};
    for (int Attempt = 0; Attempt < kTempAttempts; ++Attempt) {
      char Suffix[17];
      std::snprintf(Suffix, sizeof Suffix, "%016llx", static_cast<unsigned long long>(Random()));
      FName = std::string(kTempPrefix) + Suffix;
      FFd = ::openat(ADirFd, FName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
      if (FFd >= 0) return;
      if (errno != EEXIST) break;
    }
    RefuseErrno(AShownName, errno);
  }
  // Unless it was renamed into place, the temporary file goes.
  ~TTempFile() {
    if (FFd >= 0) ::close(FFd);
    if (!FKept) ::unlinkat(FDirFd, FName.c_str(), 0);
  }
  TTempFile(const TTempFile&) = delete;
  TTempFile& operator=(const TTempFile&) = delete;

  void WriteAll(TSkStream& ASource, const std::string& AShownName) {
    ASource.Seek(0, TSkSeekOrigin::soBeginning);
    std::string Block(kBlockSize, '\0');
    while (const size_t N = ASource.Read(Block.data(), Block.size())) {
      for (size_t Done = 0; Done < N;) {
        const ssize_t W = ::write(FFd, Block.data() + Done, N - Done);
        if (W < 0 && errno == EINTR) continue;
        if (W < 0) RefuseErrno(AShownName, errno);
        Done += static_cast<size_t>(W);
      }
    }
    // On the disk before it takes the name: a crash leaves the old file, not an empty new one.
    if (::fsync(FFd) != 0) RefuseErrno(AShownName, errno);
    const int Fd = std::exchange(FFd, -1);
    if (::close(Fd) != 0) RefuseErrno(AShownName, errno);
  }

  void RenameTo(const std::string& AName, bool ANoReplace, const std::string& AShownName) {
    int Result = ANoReplace ? ::renameat2(FDirFd, FName.c_str(), FDirFd, AName.c_str(), RENAME_NOREPLACE)
                            : ::renameat(FDirFd, FName.c_str(), FDirFd, AName.c_str());
    if (Result != 0 && ANoReplace && (errno == EINVAL || errno == ENOSYS)) {
      // A file system without the no-replace rename: a hard link never replaces either.
      Result = ::linkat(FDirFd, FName.c_str(), FDirFd, AName.c_str(), 0);
      if (Result == 0) return;   // the destructor removes the temporary name
    }
    if (Result != 0 && errno == EEXIST && ANoReplace) Refuse(kOwnFile, AShownName);
    if (Result != 0) RefuseErrno(AShownName, errno);
    FKept = true;
  }

private:
  int FDirFd;
  std::string FName;
  int FFd = -1;
  bool FKept = false;
};

}  // namespace

void TKXFileSaver::Save(TSkStream& ASource, const std::string& AFileName) {
  if (AFileName.find('\0') != std::string::npos) Refuse(kNulInName, AFileName);
  const size_t Slash = AFileName.find_last_of('/');
  const std::string Folder = Slash == std::string::npos ? "." : Slash == 0 ? "/" : AFileName.substr(0, Slash);
  const std::string Name = Slash == std::string::npos ? AFileName : AFileName.substr(Slash + 1);
  if (Name.find_first_not_of(". \t") == std::string::npos) Refuse(kNoName, AFileName);

  // Every later step works relative to this descriptor: the folder cannot be swapped meanwhile.
  TFd Dir(::open(Folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  struct stat St;
  if (Dir.Get() < 0 || ::fstat(Dir.Get(), &St) != 0) RefuseErrno(AFileName, errno);
  const TFolderId FolderId{St.st_dev, St.st_ino};
  const bool Protected = IsProtectedFolder(FolderId);
  if (Protected && IsOwnFileName(Name)) Refuse(kOwnFile, AFileName);

  if (::fstatat(Dir.Get(), Name.c_str(), &St, AT_SYMLINK_NOFOLLOW) == 0) {
    if (S_ISLNK(St.st_mode)) Refuse(kLink, AFileName);
    if (S_ISDIR(St.st_mode)) Refuse(kFolder, AFileName);
    if (!S_ISREG(St.st_mode)) Refuse(kSpecial, AFileName);
    if (Protected) Refuse(kOwnFile, AFileName);
  } else if (errno != ENOENT) {
    RefuseErrno(AFileName, errno);
  }

  const TQuotaReservation Reservation(Dir.Get(), FolderId, Name, ASource.Size(), AFileName);
  TTempFile Temp(Dir.Get(), AFileName);
  Temp.WriteAll(ASource, AFileName);
  // In the application folder a file that appeared since the check is still never replaced.
  Temp.RenameTo(Name, Protected, AFileName);
}

std::vector<std::string> TKXFileSaver::OwnFileNames() {
  std::string Exe = Executable().filename().string();
  if (Exe.empty()) Exe = "kexalo";
  std::vector<std::string> Names = {Exe, "port.ini", "cert.pem", "key.pem", "root.pem", "wapdb.dat"};
  // Log and error files carry the executable's whole name, the settings file its name with the
  // extension replaced: both forms, so that neither can be planted.
  for (const char* Ext : {"kxb", "log", "err"}) {
    Names.push_back(Exe + "." + Ext);
    const std::string Replaced = fs::path(Exe).replace_extension(Ext).string();
    if (Replaced != Names.back()) Names.push_back(Replaced);
  }
  return Names;
}

void TKXFileSaver::SetFolderQuota(int64_t ABytes) {
  std::lock_guard Guard(Rules().Lock);
  Rules().Quota = ABytes > 0 ? ABytes : 0;
}

int64_t TKXFileSaver::FolderQuota() {
  std::lock_guard Guard(Rules().Lock);
  return Rules().Quota;
}
