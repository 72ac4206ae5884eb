#include "emulator/plumbing/driver_node.h"

#define FUSE_USE_VERSION 35
#include <fcntl.h>
#include <fuse_lowlevel.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string_view>
#include <vector>

#include "emulator/model/caller_signals.h"
#include "emulator/plumbing/files.h"

namespace blindscan::emulator {

namespace {

// How long the kernel may cache the node's attributes, seconds.
constexpr double attribute_timeout = 1.0;
// How often the signals of a caller that a signal left waiting are looked
// at again: the kernel tells of a signal once, and a later one (a kill after
// a stop) is seen only here.
constexpr std::chrono::milliseconds signal_watch_interval{50};

// The arguments the caller was run with, after its program's name.
std::vector<std::string> caller_arguments(pid_t caller) {
  std::ifstream cmdline("/proc/" + std::to_string(caller) + "/cmdline");
  std::vector<std::string> arguments;
  for (std::string argument; std::getline(cmdline, argument, '\0');) arguments.push_back(argument);
  if (!arguments.empty()) arguments.erase(arguments.begin());
  return arguments;
}

// Whether the caller thread's signals end its wait.
bool caller_wait_ends(pid_t caller) {
  std::ifstream status("/proc/" + std::to_string(caller) + "/status");
  const std::string text{std::istreambuf_iterator<char>(status), std::istreambuf_iterator<char>()};
  return status_ends_wait(text);
}

kit::result<int> open_fuse_device() {
  const int fd = ::open("/dev/fuse", O_RDWR | O_CLOEXEC);
  if (fd >= 0) return fd;
  if (errno == ENOENT || errno == ENODEV || errno == ENXIO)
    return kit::failed(
        "/dev/fuse is missing: this kernel offers no FUSE (load the fuse module: modprobe fuse)");
  return kit::failed("cannot open /dev/fuse (run as root or make /dev/fuse readable and writable)");
}

kit::result<void> mount_fuse_file(int fuse_fd, const std::string& path) {
  char options[160];
  const int length = std::snprintf(options, sizeof(options),
                                   "fd=%d,rootmode=%o,user_id=%u,group_id=%u,allow_other,default_permissions",
                                   fuse_fd, static_cast<unsigned>(S_IFREG), static_cast<unsigned>(geteuid()),
                                   static_cast<unsigned>(getegid()));
  if (length < 0 || static_cast<size_t>(length) >= sizeof(options))
    return kit::failure{"cannot mount the emulated driver on " + path + ": mount options too long"};
  if (mount("blindscan-emulator", path.c_str(), "fuse.blindscan-emulator", MS_NOSUID | MS_NODEV, options) ==
      0)
    return {};
  return kit::failed("cannot mount the emulated driver on " + path);
}

// Replies to req with what the driver answered; on_done replies to a success.
template <typename reply_done>
void reply(fuse_req_t req, const outcome& given, reply_done on_done) {
  if (const auto* success = std::get_if<succeeded>(&given)) {
    on_done(*success);
  } else if (const auto* refusal = std::get_if<refused>(&given)) {
    fuse_reply_err(req, refusal->error);
  }
}

// The reply to a successful read: its bytes; to a successful ioctl: nothing.
auto reply_read(fuse_req_t req) {
  return [req](const succeeded& read) { fuse_reply_buf(req, read.bytes.data(), read.bytes.size()); };
}
auto reply_ioctl(fuse_req_t req) {
  return [req](const succeeded&) { fuse_reply_ioctl(req, 0, nullptr, 0); };
}

}  // namespace

// The kernel's requests on the node, turned into calls of the driver and
// its answers into replies.  The file system is one regular file, its root
// node; nothing else exists.
struct node_operations {
  static driver_node& node_of(fuse_req_t req) { return *static_cast<driver_node*>(fuse_req_userdata(req)); }

  static void getattr(fuse_req_t req, fuse_ino_t, fuse_file_info*) {
    const driver_node& node = node_of(req);
    struct stat attributes {};
    attributes.st_ino = FUSE_ROOT_ID;
    attributes.st_mode = S_IFREG | node.attributes_.mode;
    attributes.st_nlink = 1;
    attributes.st_uid = node.attributes_.owner;
    attributes.st_gid = node.attributes_.group;
    attributes.st_atime = attributes.st_mtime = attributes.st_ctime = node.created_;
    fuse_reply_attr(req, &attributes, attribute_timeout);
  }

  static void setattr(fuse_req_t req, fuse_ino_t, struct stat*, int, fuse_file_info*) {
    fuse_reply_err(req, EPERM);
  }

  static void open(fuse_req_t req, fuse_ino_t, fuse_file_info* info) {
    if (const std::optional<int> refusal = node_of(req).driver_.refuse_open(info->flags))
      return static_cast<void>(fuse_reply_err(req, *refusal));
    info->fh = node_of(req).driver_.open(info->flags);
    // Direct I/O hands each read to the driver with the size the caller asked.
    info->direct_io = 1;
    info->noflush = 1;
    fuse_reply_open(req, info);
  }

  static void read(fuse_req_t req, fuse_ino_t, size_t size, off_t offset, fuse_file_info* info) {
    driver_node& node = node_of(req);
    const outcome given = node.driver_.read(info->fh, size, static_cast<uint64_t>(offset));
    if (const auto* later = std::get_if<pending>(&given)) return wait(node, req, later->ticket, true);
    reply(req, given, reply_read(req));
  }

  static void write(fuse_req_t req, fuse_ino_t, const char*, size_t size, off_t, fuse_file_info*) {
    reply(req, node_of(req).driver_.write(size), [req](const succeeded&) { fuse_reply_write(req, 0); });
  }

  static void ioctl(fuse_req_t req, fuse_ino_t, unsigned int cmd, void*, fuse_file_info* info, unsigned,
                    const void* in, size_t in_size, size_t) {
    driver_node& node = node_of(req);
    const std::string_view argument(static_cast<const char*>(in), in ? in_size : 0);
    const outcome given = node.driver_.ioctl(info->fh, cmd, argument, scan_clock::now(),
                                             caller_arguments(fuse_req_ctx(req)->pid));
    if (const auto* later = std::get_if<pending>(&given)) return wait(node, req, later->ticket, false);
    reply(req, given, reply_ioctl(req));
  }

  // A request the driver answers later, under ticket.
  static void wait(driver_node& node, fuse_req_t req, uint64_t ticket, bool is_read) {
    node.waiting_[ticket] = {req, is_read, fuse_req_ctx(req)->pid};
    // Registered last: an interrupt that has already arrived calls back at once.
    fuse_req_interrupt_func(req, interrupt, &node);
  }

  // The kernel tells that a signal came to the caller of a pending request.
  // As a driver's interruptible wait, it ends only if the signal is
  // delivered (the driver then answers at once, and the event loop replies);
  // a stop, a continue or a tracer's attach leave it waiting.
  static void interrupt(fuse_req_t req, void* data) {
    driver_node& node = *static_cast<driver_node*>(data);
    for (auto& [ticket, waiting] : node.waiting_)
      if (waiting.req == req) node.judge_signals(ticket, waiting);
  }

  static void flush(fuse_req_t req, fuse_ino_t, fuse_file_info*) { fuse_reply_err(req, 0); }

  static void release(fuse_req_t req, fuse_ino_t, fuse_file_info* info) {
    node_of(req).driver_.release(info->fh);
    fuse_reply_err(req, 0);
  }

  static fuse_lowlevel_ops table() noexcept {
    fuse_lowlevel_ops ops{};
    ops.getattr = getattr;
    ops.setattr = setattr;
    ops.open = open;
    ops.read = read;
    ops.write = write;
    ops.ioctl = ioctl;
    ops.flush = flush;
    ops.release = release;
    return ops;
  }
};

namespace {

const fuse_lowlevel_ops operations = node_operations::table();

}  // namespace

driver_node::driver_node(emulator::driver& driver, node_attributes attributes)
    : driver_(driver), attributes_(attributes), created_(time(nullptr)), buffer_(new fuse_buf{}) {}

kit::result<std::unique_ptr<driver_node>> driver_node::start(emulator::driver& driver,
                                                             node_attributes attributes,
                                                             const char* mount_options) {
  std::unique_ptr<driver_node> node(new driver_node(driver, attributes));
  std::vector<char*> argv{const_cast<char*>("blindscan-emulator")};
  if (mount_options) {
    argv.push_back(const_cast<char*>("-o"));
    argv.push_back(const_cast<char*>(mount_options));
  }
  fuse_args args = FUSE_ARGS_INIT(static_cast<int>(argv.size()), argv.data());
  node->session_ = fuse_session_new(&args, &operations, sizeof(operations), node.get());
  fuse_opt_free_args(&args);
  if (!node->session_) return kit::failure{"cannot start a FUSE session"};
  return node;
}

kit::result<std::unique_ptr<driver_node>> driver_node::mount(emulator::driver& driver,
                                                             node_attributes attributes,
                                                             const std::string& path) {
  const kit::result<int> fuse_fd = open_fuse_device();
  if (!fuse_fd) return kit::failure{fuse_fd.error()};
  const kit::result<void> mounted = mount_fuse_file(*fuse_fd, path);
  kit::result<std::unique_ptr<driver_node>> node =
      mounted ? start(driver, attributes, nullptr) : kit::failure{mounted.error()};
  // libfuse takes "/dev/fd/N" as an already mounted descriptor.
  const std::string attached = "/dev/fd/" + std::to_string(*fuse_fd);
  if (node && fuse_session_mount((*node)->session_, attached.c_str()) == 0) {
    (*node)->mounted_on_ = path;
    return node;
  }
  close(*fuse_fd);
  if (mounted) umount2(path.c_str(), MNT_DETACH);
  if (!node) return node;
  return kit::failure{"cannot attach the FUSE session to descriptor " + std::to_string(*fuse_fd)};
}

kit::result<std::unique_ptr<driver_node>> driver_node::mount_by_helper(emulator::driver& driver,
                                                                       node_attributes attributes,
                                                                       const std::string& path) {
  kit::result<std::unique_ptr<driver_node>> node =
      start(driver, attributes, "default_permissions,fsname=blindscan-emulator");
  if (!node) return node;
  if (fuse_session_mount((*node)->session_, path.c_str()) != 0)
    return kit::failure{"cannot mount " + path + " through fusermount3"};
  (*node)->mounted_by_helper_ = true;
  return node;
}

void driver_node::buffer_release::operator()(fuse_buf* buffer) const {
  std::free(buffer->mem);
  delete buffer;
}

driver_node::~driver_node() {
  if (!session_) return;
  if (mounted_by_helper_)
    fuse_session_unmount(session_);
  else if (!mounted_on_.empty())
    umount2(mounted_on_.c_str(), MNT_DETACH);
  fuse_session_destroy(session_);
}

int driver_node::fd() const { return fuse_session_fd(session_); }

bool driver_node::handle_request() {
  const int received = fuse_session_receive_buf(session_, buffer_.get());
  if (received == -EINTR || received == -EAGAIN) return true;
  if (received <= 0) return false;
  fuse_session_process_buf(session_, buffer_.get());
  return true;
}

void driver_node::judge_signals(uint64_t ticket, waiting_request& waiting) {
  waiting.watched = !caller_wait_ends(waiting.caller);
  if (!waiting.watched) driver_.interrupt(ticket);
}

std::optional<scan_clock::duration> driver_node::time_to_next_answer(scan_clock::time_point now) const {
  const std::optional<scan_clock::duration> next = driver_.time_to_next_answer(now);
  const bool watching =
      std::any_of(waiting_.begin(), waiting_.end(), [](const auto& entry) { return entry.second.watched; });
  if (!watching) return next;
  return std::min<scan_clock::duration>(next.value_or(signal_watch_interval), signal_watch_interval);
}

void driver_node::reply_to_finished_requests(scan_clock::time_point now) {
  for (auto& [ticket, waiting] : waiting_)
    if (waiting.watched) judge_signals(ticket, waiting);
  for (const finished_request& scan : driver_.take_finished(now)) {
    const auto waiting = waiting_.find(scan.ticket);
    if (waiting == waiting_.end()) continue;
    const waiting_request request = waiting->second;
    waiting_.erase(waiting);
    if (request.is_read)
      reply(request.req, scan.result, reply_read(request.req));
    else
      reply(request.req, scan.result, reply_ioctl(request.req));
  }
}

}  // namespace blindscan::emulator
