#include "emulator/sandbox.h"

#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string_view>
#include <vector>

namespace blindscan::emulator {

namespace {

std::string failed(const std::string& what) { return what + ": " + std::strerror(errno); }

bool write_file(const std::string& path, const std::string& text) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  ::close(fd);
  return written;
}

bool is_directory(const char* path) {
  struct stat info {};
  return lstat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

// Mount points in /proc/self/mountinfo escape space, tab, newline and
// backslash as three octal digits.
std::string unescape_mount_point(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size()) {
      out += static_cast<char>((text[i + 1] - '0') * 64 + (text[i + 2] - '0') * 8 + (text[i + 3] - '0'));
      i += 3;
    } else {
      out += text[i];
    }
  }
  return out;
}

// The outermost mounts below directory, by their path relative to it
// ("pts", "shm", ...); binding each recursively brings back the rest.
std::vector<std::string> submounts_below(const std::string& directory) {
  const std::string prefix = directory + "/";
  std::set<std::string> points;
  std::ifstream mountinfo("/proc/self/mountinfo");
  for (std::string line; std::getline(mountinfo, line);) {
    std::istringstream fields(line);
    std::string id, parent, numbers, root, point;
    fields >> id >> parent >> numbers >> root >> point;
    point = unescape_mount_point(point);
    if (point.starts_with(prefix)) points.insert(point.substr(prefix.size()));
  }
  std::vector<std::string> outermost;
  for (const std::string& point : points) {
    const bool nested = std::any_of(outermost.begin(), outermost.end(),
                                    [&](const std::string& outer) { return point.starts_with(outer + "/"); });
    if (!nested) outermost.push_back(point);
  }
  return outermost;
}

// A directory to mount a scratch tmpfs on for the time of the setup; it is
// detached again before the command runs, so whatever is there reappears.
const char* scratch_directory() {
  for (const char* candidate : {"/tmp", "/mnt", "/run", "/var/tmp"})
    if (is_directory(candidate)) return candidate;
  return nullptr;
}

bool bind(const std::string& from, const std::string& to, std::string& error) {
  if (mount(from.c_str(), to.c_str(), nullptr, MS_BIND | MS_REC, nullptr) == 0) return true;
  error = failed("cannot bind " + from + " on " + to);
  return false;
}

bool enter_namespaces(bool as_root, std::string& error) {
  if (as_root) {
    if (unshare(CLONE_NEWNS) == 0) return true;
    error = failed("cannot create a private mount namespace (unshare CLONE_NEWNS)");
    return false;
  }
  const uid_t uid = geteuid();
  const gid_t gid = getegid();
  if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) {
    error = failed(
        "not root, and cannot create a user namespace to run in (unshare CLONE_NEWUSER); run as root "
        "or allow unprivileged user namespaces (sysctl kernel.unprivileged_userns_clone=1, "
        "user.max_user_namespaces)");
    return false;
  }
  if (!write_file("/proc/self/setgroups", "deny") ||
      !write_file("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
      !write_file("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1")) {
    error = failed("cannot map the caller to root in the user namespace (/proc/self/uid_map)");
    return false;
  }
  return true;
}

// As root: an overlay over the real /dev takes new nodes in a tmpfs, and the
// submounts, which an overlay does not show, are bound back on top.
bool overlay_dev(const std::string& scratch, std::string& error) {
  const std::string real = scratch + "/real", upper = scratch + "/upper", work = scratch + "/work";
  // The copy holds exactly what is visible under /dev.
  const std::vector<std::string> submounts = submounts_below(real);
  const std::string options = "lowerdir=" + real + ",upperdir=" + upper + ",workdir=" + work;
  if (mount("overlay", "/dev", "overlay", 0, options.c_str()) != 0) {
    error = failed("cannot lay an overlay over /dev (is overlayfs available?)");
    return false;
  }
  for (const std::string& submount : submounts)
    if (!bind(real + "/" + submount, "/dev/" + submount, error)) return false;
  return true;
}

// Where the mirrored /dev keeps the whole real one, with its submounts.
constexpr char host_dev_entry[] = ".host";

// Recreates one entry of the real /dev at to: symbolic links as links,
// everything else bound from the real one.
bool mirror_entry(const std::string& name, const std::string& from, const std::string& to,
                  std::string& error) {
  struct stat info {};
  if (lstat(from.c_str(), &info) != 0) return true;  // gone meanwhile
  if (name == "ptmx" && S_ISCHR(info.st_mode)) {
    // The pseudo-terminal multiplexer finds its devpts instance as "pts"
    // beside it on the same mount, which a bind of the single node lacks.
    if (symlink((std::string(host_dev_entry) + "/ptmx").c_str(), to.c_str()) == 0) return true;
    error = failed("cannot create " + to);
    return false;
  }
  if (S_ISLNK(info.st_mode)) {
    char target[4096];
    const ssize_t length = readlink(from.c_str(), target, sizeof(target) - 1);
    if (length < 0) return true;
    target[length] = '\0';
    if (symlink(target, to.c_str()) == 0) return true;
    error = failed("cannot create " + to);
    return false;
  }
  if (S_ISDIR(info.st_mode) ? mkdir(to.c_str(), info.st_mode & 07777) != 0
                            : mknod(to.c_str(), S_IFREG | 0600, 0) != 0) {
    error = failed("cannot create " + to);
    return false;
  }
  return bind(from, to, error);
}

// In a user namespace an overlay cannot take /dev as its lower layer (its
// submounts are locked) and would not open device nodes, so /dev becomes a
// tmpfs with every entry of the real one bound or linked into it.
bool mirror_dev(const std::string& scratch, std::string& error) {
  const std::string real = scratch + "/real";
  if (mount("dev", "/dev", "tmpfs", MS_NOSUID, "mode=0755") != 0) {
    error = failed("cannot mount a tmpfs on /dev in the user namespace");
    return false;
  }
  DIR* entries = opendir(real.c_str());
  if (!entries) {
    error = failed("cannot list " + real);
    return false;
  }
  bool ok = true;
  while (const dirent* entry = readdir(entries)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    ok = mirror_entry(name, real + "/" + name, "/dev/" + name, error);
    if (!ok) break;
  }
  closedir(entries);
  if (!ok) return false;
  const std::string host_dev = std::string("/dev/") + host_dev_entry;
  if (mkdir(host_dev.c_str(), 0755) != 0) {
    error = failed("cannot create " + host_dev);
    return false;
  }
  return bind(real, host_dev, error);
}

}  // namespace

int open_fuse_device(std::string& error) {
  const int fd = ::open("/dev/fuse", O_RDWR | O_CLOEXEC);
  if (fd >= 0) return fd;
  if (errno == ENOENT || errno == ENODEV || errno == ENXIO)
    error = failed("/dev/fuse is missing: this kernel offers no FUSE (load the fuse module: modprobe fuse)");
  else
    error = failed("cannot open /dev/fuse (run as root or make /dev/fuse readable and writable)");
  return -1;
}

bool enter_private_dev(std::string& error) {
  const bool as_root = geteuid() == 0;
  if (!enter_namespaces(as_root, error)) return false;
  // Nothing mounted from here on reaches the caller's namespace.
  if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
    // The root of a chroot that is not itself a mount point cannot be made
    // private, and mounts below it would reach the host's namespace.
    error = errno == EINVAL ? "cannot make the mounts of the new namespace private: / is not a mount point "
                              "(in a chroot, bind-mount its root onto itself first)"
                            : failed("cannot make the mounts of the new namespace private");
    return false;
  }
  const char* scratch = scratch_directory();
  if (!scratch) {
    error = "no directory for a scratch tmpfs (tried /tmp, /mnt, /run, /var/tmp)";
    return false;
  }
  if (mount("blindscan-emulator", scratch, "tmpfs", 0, "mode=0700") != 0) {
    error = failed(std::string("cannot mount a scratch tmpfs on ") + scratch);
    return false;
  }
  const std::string base = scratch;
  for (const char* directory : {"/real", "/upper", "/work"}) {
    if (mkdir((base + directory).c_str(), 0755) != 0) {
      error = failed("cannot create " + base + directory);
      return false;
    }
  }
  if (!bind("/dev", base + "/real", error)) return false;
  if (!(as_root ? overlay_dev(base, error) : mirror_dev(base, error))) return false;
  // The new /dev holds its own references to what it was built from.
  if (umount2(scratch, MNT_DETACH) != 0) {
    error = failed(std::string("cannot detach the scratch tmpfs from ") + scratch);
    return false;
  }
  return true;
}

bool create_node(const std::string& path, std::string& error) {
  if (mknod(path.c_str(), S_IFREG | 0600, 0) == 0 || errno == EEXIST) return true;
  error = failed("cannot create " + path);
  return false;
}

bool mount_fuse_file(int fuse_fd, const std::string& path, std::string& error) {
  char options[160];
  std::snprintf(options, sizeof(options),
                "fd=%d,rootmode=%o,user_id=%u,group_id=%u,allow_other,default_permissions", fuse_fd,
                static_cast<unsigned>(S_IFREG), static_cast<unsigned>(geteuid()),
                static_cast<unsigned>(getegid()));
  if (mount("blindscan-emulator", path.c_str(), "fuse.blindscan-emulator", MS_NOSUID | MS_NODEV, options) ==
      0)
    return true;
  error = failed("cannot mount the emulated driver on " + path);
  return false;
}

void unmount(const std::string& path) { umount2(path.c_str(), MNT_DETACH); }

}  // namespace blindscan::emulator
