#include "emulator/plumbing/sandbox.h"

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

#include "emulator/plumbing/files.h"

namespace blindscan::emulator {

namespace {

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

// The path of name in directory.  The names come from readdir (without "."
// and "..") and from mountinfo below the directory, so the path stays below it.
std::string below(const std::string& directory, const std::string& name) { return directory + "/" + name; }

kit::result<void> bind_mount(const std::string& from, const std::string& to) {
  if (mount(from.c_str(), to.c_str(), nullptr, MS_BIND | MS_REC, nullptr) == 0) return {};
  return kit::failed("cannot bind " + from + " on " + to);
}

kit::result<void> enter_namespaces(bool as_root) {
  if (as_root) {
    if (unshare(CLONE_NEWNS) == 0) return {};
    return kit::failed("cannot create a private mount namespace (unshare CLONE_NEWNS)");
  }
  const uid_t uid = geteuid();
  const gid_t gid = getegid();
  if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) {
    return kit::failed(
        "not root, and cannot create a user namespace to run in (unshare CLONE_NEWUSER); run as root "
        "or allow unprivileged user namespaces (sysctl kernel.unprivileged_userns_clone=1, "
        "user.max_user_namespaces)");
  }
  for (const auto& [path, text] : {std::pair{"/proc/self/setgroups", std::string("deny")},
                                   std::pair{"/proc/self/uid_map", "0 " + std::to_string(uid) + " 1"},
                                   std::pair{"/proc/self/gid_map", "0 " + std::to_string(gid) + " 1"}}) {
    if (const kit::result<void> written = write_file(path, text); !written)
      return kit::failure{"cannot map the caller to root in the user namespace: " + written.error()};
  }
  return {};
}

// As root: an overlay over the real /dev takes new nodes in a tmpfs, and the
// submounts, which an overlay does not show, are bound back on top.
kit::result<void> overlay_dev(const std::string& scratch) {
  const std::string real = scratch + "/real", upper = scratch + "/upper", work = scratch + "/work";
  // The copy holds exactly what is visible under /dev.
  const std::vector<std::string> submounts = submounts_below(real);
  const std::string options = "lowerdir=" + real + ",upperdir=" + upper + ",workdir=" + work;
  if (mount("overlay", "/dev", "overlay", 0, options.c_str()) != 0) {
    return kit::failed("cannot lay an overlay over /dev (is overlayfs available?)");
  }
  for (const std::string& submount : submounts)
    if (kit::result<void> bound = bind_mount(below(real, submount), below("/dev", submount)); !bound)
      return bound;
  return {};
}

// Where the mirrored /dev keeps the whole real one, with its submounts.
constexpr char host_dev_entry[] = ".host";

// Recreates one entry of the real /dev at to: symbolic links as links,
// everything else bound from the real one.
kit::result<void> mirror_entry(const std::string& name, const std::string& from, const std::string& to) {
  struct stat info {};
  if (lstat(from.c_str(), &info) != 0) return {};  // gone meanwhile
  if (name == "ptmx" && S_ISCHR(info.st_mode)) {
    // The pseudo-terminal multiplexer finds its devpts instance as "pts"
    // beside it on the same mount, which a bind of the single node lacks.
    if (symlink((std::string(host_dev_entry) + "/ptmx").c_str(), to.c_str()) == 0) return {};
    return kit::failed("cannot create " + to);
  }
  if (S_ISLNK(info.st_mode)) {
    char target[4096];
    const ssize_t length = readlink(from.c_str(), target, sizeof(target) - 1);
    if (length < 0) return {};
    target[length] = '\0';
    if (symlink(target, to.c_str()) == 0) return {};
    return kit::failed("cannot create " + to);
  }
  if (S_ISDIR(info.st_mode) ? mkdir(to.c_str(), info.st_mode & 07777) != 0
                            : mknod(to.c_str(), S_IFREG | 0600, 0) != 0) {
    return kit::failed("cannot create " + to);
  }
  return bind_mount(from, to);
}

// In a user namespace an overlay cannot take /dev as its lower layer (its
// submounts are locked) and would not open device nodes, so /dev becomes a
// tmpfs with every entry of the real one bound or linked into it.
kit::result<void> mirror_dev(const std::string& scratch) {
  const std::string real = scratch + "/real";
  if (mount("dev", "/dev", "tmpfs", MS_NOSUID, "mode=0755") != 0) {
    return kit::failed("cannot mount a tmpfs on /dev in the user namespace");
  }
  DIR* entries = opendir(real.c_str());
  if (!entries) {
    return kit::failed("cannot list " + real);
  }
  kit::result<void> mirrored;
  // One thread reads this directory: readdir is safe here, and readdir_r is deprecated.
  // cppcheck-suppress readdirCalled
  while (const dirent* entry = readdir(entries)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    mirrored = mirror_entry(name, below(real, name), below("/dev", name));
    if (!mirrored) break;
  }
  closedir(entries);
  if (!mirrored) return mirrored;
  const std::string host_dev = std::string("/dev/") + host_dev_entry;
  if (mkdir(host_dev.c_str(), 0755) != 0) {
    return kit::failed("cannot create " + host_dev);
  }
  return bind_mount(real, host_dev);
}

}  // namespace

kit::result<void> enter_private_dev() {
  const bool as_root = geteuid() == 0;
  if (kit::result<void> entered = enter_namespaces(as_root); !entered) return entered;
  // Nothing mounted from here on reaches the caller's namespace.
  if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
    // The root of a chroot that is not itself a mount point cannot be made
    // private, and mounts below it would reach the host's namespace.
    if (errno != EINVAL) return kit::failed("cannot make the mounts of the new namespace private");
    return kit::failure{
        "cannot make the mounts of the new namespace private: / is not a mount point "
        "(in a chroot, bind-mount its root onto itself first)"};
  }
  const char* scratch = scratch_directory();
  if (!scratch) {
    return kit::failure{"no directory for a scratch tmpfs (tried /tmp, /mnt, /run, /var/tmp)"};
  }
  if (mount("blindscan-emulator", scratch, "tmpfs", 0, "mode=0700") != 0) {
    return kit::failed(std::string("cannot mount a scratch tmpfs on ") + scratch);
  }
  const std::string base = scratch;
  for (const char* directory : {"/real", "/upper", "/work"}) {
    if (mkdir((base + directory).c_str(), 0755) != 0) {
      return kit::failed("cannot create " + base + directory);
    }
  }
  if (kit::result<void> bound = bind_mount("/dev", base + "/real"); !bound) return bound;
  if (kit::result<void> made = as_root ? overlay_dev(base) : mirror_dev(base); !made) return made;
  // The new /dev holds its own references to what it was built from.
  if (umount2(scratch, MNT_DETACH) != 0) {
    return kit::failed(std::string("cannot detach the scratch tmpfs from ") + scratch);
  }
  return {};
}

kit::result<void> create_node(const std::string& path) {
  if (mknod(path.c_str(), S_IFREG | 0600, 0) == 0 || errno == EEXIST) return {};
  return kit::failed("cannot create " + path);
}

}  // namespace blindscan::emulator
