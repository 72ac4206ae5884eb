#include "emulator/fuse_device.h"

#define FUSE_USE_VERSION 35
#include <fuse_lowlevel.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace blindscan::emulator {

struct fuse_device::buffer {
  fuse_buf data{};
  ~buffer() { std::free(data.mem); }
};

namespace {

// How long the kernel may cache a file's attributes, seconds.
constexpr double attribute_timeout = 1.0;

served_file& file_of(fuse_req_t req) { return *static_cast<served_file*>(fuse_req_userdata(req)); }

// The file system is one regular file, its root node; nothing else exists.
void on_getattr(fuse_req_t req, fuse_ino_t, fuse_file_info*) { file_of(req).getattr(req); }

void on_setattr(fuse_req_t req, fuse_ino_t, struct stat*, int, fuse_file_info*) {
  fuse_reply_err(req, EPERM);
}

void on_open(fuse_req_t req, fuse_ino_t, fuse_file_info* info) { file_of(req).open(req, info); }

void on_read(fuse_req_t req, fuse_ino_t, size_t size, off_t offset, fuse_file_info* info) {
  file_of(req).read(req, size, offset, info);
}

void on_write(fuse_req_t req, fuse_ino_t, const char* data, size_t size, off_t, fuse_file_info*) {
  file_of(req).write(req, data, size);
}

void on_ioctl(fuse_req_t req, fuse_ino_t, unsigned int cmd, void*, fuse_file_info* info, unsigned,
              const void* in, size_t in_size, size_t) {
  file_of(req).ioctl(req, cmd, info, in, in_size);
}

void on_flush(fuse_req_t req, fuse_ino_t, fuse_file_info*) { fuse_reply_err(req, 0); }

void on_release(fuse_req_t req, fuse_ino_t, fuse_file_info* info) { file_of(req).release(req, info); }

const fuse_lowlevel_ops operations = [] {
  fuse_lowlevel_ops ops{};
  ops.getattr = on_getattr;
  ops.setattr = on_setattr;
  ops.open = on_open;
  ops.read = on_read;
  ops.write = on_write;
  ops.ioctl = on_ioctl;
  ops.flush = on_flush;
  ops.release = on_release;
  return ops;
}();

}  // namespace

void reply_regular_file_attributes(fuse_req* req, mode_t mode, uid_t owner, gid_t group, time_t times) {
  struct stat attributes {};
  attributes.st_ino = FUSE_ROOT_ID;
  attributes.st_mode = S_IFREG | mode;
  attributes.st_nlink = 1;
  attributes.st_uid = owner;
  attributes.st_gid = group;
  attributes.st_atime = attributes.st_mtime = attributes.st_ctime = times;
  fuse_reply_attr(req, &attributes, attribute_timeout);
}

fuse_session* fuse_device::new_session(served_file& file, const char* mount_options, std::string& error) {
  std::vector<char*> argv{const_cast<char*>("blindscan-emulator")};
  if (mount_options) {
    argv.push_back(const_cast<char*>("-o"));
    argv.push_back(const_cast<char*>(mount_options));
  }
  fuse_args args = FUSE_ARGS_INIT(static_cast<int>(argv.size()), argv.data());
  fuse_session* session = fuse_session_new(&args, &operations, sizeof(operations), &file);
  fuse_opt_free_args(&args);
  if (!session) error = "cannot start a FUSE session";
  return session;
}

std::unique_ptr<fuse_device> fuse_device::on_mounted_fd(served_file& file, int fuse_fd, std::string& error) {
  fuse_session* session = new_session(file, nullptr, error);
  if (!session) {
    close(fuse_fd);
    return nullptr;
  }
  // libfuse takes "/dev/fd/N" as an already mounted descriptor.
  const std::string mounted = "/dev/fd/" + std::to_string(fuse_fd);
  if (fuse_session_mount(session, mounted.c_str()) != 0) {
    error = "cannot attach the FUSE session to descriptor " + std::to_string(fuse_fd);
    fuse_session_destroy(session);
    close(fuse_fd);
    return nullptr;
  }
  return std::unique_ptr<fuse_device>(new fuse_device(session, false));
}

std::unique_ptr<fuse_device> fuse_device::mounted_by_helper(served_file& file, const std::string& path,
                                                            std::string& error) {
  fuse_session* session = new_session(file, "default_permissions,fsname=blindscan-emulator", error);
  if (!session) return nullptr;
  if (fuse_session_mount(session, path.c_str()) != 0) {
    error = "cannot mount " + path + " through fusermount3";
    fuse_session_destroy(session);
    return nullptr;
  }
  return std::unique_ptr<fuse_device>(new fuse_device(session, true));
}

fuse_device::fuse_device(fuse_session* session, bool unmount_at_end)
    : session_(session), unmount_at_end_(unmount_at_end), buffer_(std::make_unique<buffer>()) {}

fuse_device::~fuse_device() {
  if (unmount_at_end_) fuse_session_unmount(session_);
  fuse_session_destroy(session_);
}

int fuse_device::fd() const { return fuse_session_fd(session_); }

bool fuse_device::handle_request() {
  const int received = fuse_session_receive_buf(session_, &buffer_->data);
  if (received == -EINTR || received == -EAGAIN) return true;
  if (received <= 0) return false;
  fuse_session_process_buf(session_, &buffer_->data);
  return true;
}

}  // namespace blindscan::emulator
