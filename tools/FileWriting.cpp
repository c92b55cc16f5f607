// kestrine-render's files, whole or not at all: every write and the close checked, the file put in
// place by a rename only once complete, so that a failure (a full disk, a signal) leaves nothing
// partial under the final name and an old file of that name as it was.
#include "RenderTool.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace Render_Tool {
namespace {

bool Write_All(int File, const std::string& Bytes)
{
    for (std::size_t Done = 0; Done < Bytes.size();) {
        const ssize_t Wrote = write(File, Bytes.data() + Done, Bytes.size() - Done);
        if (Wrote < 0 && errno == EINTR)
            continue;
        if (Wrote <= 0) {
            if (Wrote == 0)
                errno = ENOSPC;
            return false;
        }
        Done += static_cast<std::size_t>(Wrote);
    }
    return true;
}

// A device or a FIFO named as the output is written as it is: a rename would put a plain file in
// its place.
bool Write_In_Place(const std::string& Path, const std::string& Bytes, std::string& Problem)
{
    const int File = open(Path.c_str(), O_WRONLY | O_CLOEXEC);
    bool Written = File >= 0 && Write_All(File, Bytes);
    const int Error = errno;
    if (File >= 0 && close(File) != 0 && Written)
        Written = false;
    if (!Written)
        Problem = std::strerror(File >= 0 && Error != 0 ? Error : errno);
    return Written;
}

} // namespace

bool Write_File(const std::string& Path, const std::string& Bytes, std::string& Problem)
{
    // Through a symbolic link to what it names, so that the link keeps pointing there.
    std::string Target = Path;
    struct stat About;
    if (lstat(Path.c_str(), &About) == 0 && S_ISLNK(About.st_mode)) {
        if (char* Resolved = realpath(Path.c_str(), nullptr)) {
            Target = Resolved;
            std::free(Resolved);
        } else {
            // A link to a file not made yet: the file it names, beside the link where it is relative.
            char Named[PATH_MAX];
            const ssize_t Length = readlink(Path.c_str(), Named, sizeof Named);
            if (Length <= 0 || Length >= static_cast<ssize_t>(sizeof Named)) {
                Problem = std::strerror(Length < 0 ? errno : ENAMETOOLONG);
                return false;
            }
            Target.assign(Named, static_cast<std::size_t>(Length));
            const std::size_t Slash = Path.find_last_of('/');
            if (Target[0] != '/' && Slash != std::string::npos)
                Target = Path.substr(0, Slash + 1) + Target;
        }
    }
    const bool Exists = stat(Target.c_str(), &About) == 0;
    if (Exists && !S_ISREG(About.st_mode))
        return Write_In_Place(Target, Bytes, Problem);

    // Beside the target, under a name no other run takes.
    std::string Temporary = Target + ".part-XXXXXX";
    const int File = mkstemp(Temporary.data());
    if (File < 0) {
        Problem = std::strerror(errno);
        return false;
    }
    // The mode a new file gets, or the old file's.
    const mode_t Mask = umask(0);
    umask(Mask);
    bool Written = fchmod(File, Exists ? About.st_mode & 07777 : 0666 & ~Mask) == 0 && Write_All(File, Bytes);
    int Error = errno;
    if (close(File) != 0 && Written) {
        Written = false;
        Error = errno;
    }
    if (Written && rename(Temporary.c_str(), Target.c_str()) != 0) {
        Written = false;
        Error = errno;
    }
    if (!Written) {
        unlink(Temporary.c_str());
        Problem = std::strerror(Error);
    }
    return Written;
}

} // namespace Render_Tool
