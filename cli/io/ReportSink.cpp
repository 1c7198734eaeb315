#include "io/ReportSink.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "Failures.h"
#include "io/PendingFile.h"

namespace rulecalc::cli {

namespace {

constexpr std::size_t kWriteBuffer = std::size_t{1} << 20;

std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// More links in a row than this is taken for a loop, as the system takes it.
constexpr int kMostLinksFollowed = 40;

std::string LinkText(const std::string& link) {
  char text[PATH_MAX];
  const ssize_t length = readlink(link.c_str(), text, sizeof text);
  if (length < 0 || static_cast<std::size_t>(length) >= sizeof text) {
    throw TUsageError("cannot write the output file '" + link + "': cannot read the link: " + std::strerror(errno));
  }
  return std::string(text, static_cast<std::size_t>(length));
}

// The file a rename must replace: the path with its symbolic links followed,
// so that writing through a link replaces what it points to and the link
// stays, also when what it points to does not exist yet (it is created).
std::string ResolvedTarget(const std::string& path) {
  std::string target = path;
  for (int followed = 0; followed < kMostLinksFollowed; ++followed) {
    struct stat status {};
    if (lstat(target.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return target;
    const std::string text = LinkText(target);
    target = !text.empty() && text.front() == '/' ? text : DirectoryOf(target) + "/" + text;
  }
  throw TUsageError("cannot write the output file '" + path + "': " + std::strerror(ELOOP) +
                    " (a link that leads back to itself?); nothing was written");
}

// A report never replaces a file its owner may not write: the mode bits say
// so, whoever runs the tool (root may write anything).
void RefuseReadOnly(const std::string& path, const std::string& target) {
  struct stat status {};
  if (stat(target.c_str(), &status) != 0 || !S_ISREG(status.st_mode) || (status.st_mode & S_IWUSR)) return;
  throw TUsageError("cannot write the output file '" + path + "': it is read-only; make it writable (chmod u+w) "
                    "or choose another output, nothing was written");
}

// The mode the finished report gets: that of the file it replaces, else
// what a newly created file would get.
mode_t ModeFor(const std::string& target) {
  struct stat status {};
  if (stat(target.c_str(), &status) == 0) return status.st_mode & 07777;
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

std::FILE* CreateTemporary(const std::string& target, std::string& temporary, int& slot) {
  const std::string pattern = DirectoryOf(target) + "/." + BaseNameOf(target) + ".XXXXXX";
  const int descriptor = CreatePendingFile(pattern, target, temporary, slot);
  if (descriptor < 0) {
    throw TUsageError("cannot write the output file '" + target + "': " + std::strerror(errno));
  }
  std::FILE* file = fdopen(descriptor, "wb");
  if (!file) {
    close(descriptor);
    unlink(temporary.c_str());
    ReleasePendingFile(slot);
    throw TUsageError("cannot write the output file '" + target + "'");
  }
  return file;
}

// True for a device, a pipe or a socket: written in place, as there is
// nothing to keep and a rename would replace the special file itself.
bool IsSpecialFile(const std::string& target) {
  struct stat status {};
  return stat(target.c_str(), &status) == 0 && !S_ISREG(status.st_mode);
}

std::FILE* OpenSpecialFile(const std::string& target) {
  std::FILE* file = std::fopen(target.c_str(), "wb");
  if (!file) throw TUsageError("cannot write the output file '" + target + "': " + std::strerror(errno));
  return file;
}

}  // namespace

TReportSink::TReportSink(const std::string& path) : Path(path), Handle(stdout) {
  if (path.empty()) return;
  Target = ResolvedTarget(path);
  RefuseReadOnly(path, Target);
  Handle = IsSpecialFile(Target) ? OpenSpecialFile(Target) : CreateTemporary(Target, Temporary, PendingSlot);
  std::setvbuf(Handle, nullptr, _IOFBF, kWriteBuffer);
}

TReportSink::~TReportSink() {
  if (Temporary.empty()) {
    if (Handle && Handle != stdout) std::fclose(Handle);
    return;
  }
  if (Committed) return;
  if (Handle) std::fclose(Handle);
  unlink(Temporary.c_str());
  ReleasePendingFile(PendingSlot);
}

void TReportSink::Write(const std::string& text) {
  if (std::fwrite(text.data(), 1, text.size(), Handle) != text.size()) Fail("cannot write the report");
}

void TReportSink::Commit() {
  if (std::fflush(Handle) != 0 || std::ferror(Handle)) Fail("cannot write the report");
  if (Temporary.empty()) {
    if (Handle != stdout && std::fclose(std::exchange(Handle, nullptr)) != 0) Fail("cannot write the report");
    return;
  }
  fchmod(fileno(Handle), ModeFor(Target));
  const int closed = std::fclose(Handle);
  Handle = nullptr;
  if (closed != 0) Fail("cannot write the report");
  if (std::rename(Temporary.c_str(), Target.c_str()) != 0) Fail("cannot put the report in place");
  Committed = true;
  ReleasePendingFile(PendingSlot);
}

void TReportSink::Fail(const std::string& what) {
  if (Path.empty() && errno == EPIPE) throw TClosedOutput("standard output was closed");
  const std::string reason = errno != 0 ? std::string(": ") + std::strerror(errno) : "";
  if (Path.empty()) throw TOutputError(what + " to standard output" + reason);
  if (Temporary.empty()) throw TOutputError(what + " to '" + Path + "'" + reason);
  throw TOutputError(what + " to '" + Path + "'" + reason + "; '" + Path + "' is left as it was");
}

}  // namespace rulecalc::cli
