#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "Failures.h"
#include "io/OutputFile.h"

namespace rulecalc::cli {

namespace {

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

// That of the file it replaces, else what a newly created file would get.
mode_t ModeFor(const std::string& target) {
  struct stat status {};
  if (stat(target.c_str(), &status) == 0) return status.st_mode & 07777;
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

}  // namespace

// The file a rename must replace: the path with its symbolic links followed,
// so that writing through a link replaces what it points to and the link
// stays, also when what it points to does not exist yet (it is created).
std::string ReplacedFile(const std::string& path) {
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

// True for a device, a pipe or a socket: written in place, as there is
// nothing to keep and a rename would replace the special file itself.
bool IsSpecialFile(const std::string& target) {
  struct stat status {};
  return stat(target.c_str(), &status) == 0 && !S_ISREG(status.st_mode);
}

std::string TemporaryPattern(const std::string& target) {
  return DirectoryOf(target) + "/." + BaseNameOf(target) + ".XXXXXX";
}

void TakeModeOf(std::FILE* temporary, const std::string& target) { fchmod(fileno(temporary), ModeFor(target)); }

bool PutInPlace(const std::string& temporary, const std::string& target) {
  return std::rename(temporary.c_str(), target.c_str()) == 0;
}

}  // namespace rulecalc::cli
