#include "emulator/fuse_server.h"

#define FUSE_USE_VERSION 35
#include <fuse_lowlevel.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "emulator/emulated_driver.h"

namespace blindscan::emulator {

struct fuse_server::buffer {
  fuse_buf data{};
  ~buffer() { std::free(data.mem); }
};

namespace {

emulated_driver& driver_of(fuse_req_t req) { return *static_cast<emulated_driver*>(fuse_req_userdata(req)); }

// The file system is one regular file, its root node; nothing else exists.
void on_getattr(fuse_req_t req, fuse_ino_t, fuse_file_info*) { driver_of(req).getattr(req); }

void on_setattr(fuse_req_t req, fuse_ino_t, struct stat*, int, fuse_file_info*) {
  fuse_reply_err(req, EPERM);
}

void on_open(fuse_req_t req, fuse_ino_t, fuse_file_info* info) { driver_of(req).open(req, info); }

void on_read(fuse_req_t req, fuse_ino_t, size_t size, off_t offset, fuse_file_info* info) {
  driver_of(req).read(req, size, offset, info);
}

void on_write(fuse_req_t req, fuse_ino_t, const char*, size_t size, off_t, fuse_file_info*) {
  driver_of(req).write(req, size);
}

void on_ioctl(fuse_req_t req, fuse_ino_t, unsigned int cmd, void*, fuse_file_info* info, unsigned,
              const void* in, size_t in_size, size_t) {
  driver_of(req).ioctl(req, cmd, info, in, in_size);
}

void on_flush(fuse_req_t req, fuse_ino_t, fuse_file_info*) { fuse_reply_err(req, 0); }

void on_release(fuse_req_t req, fuse_ino_t, fuse_file_info* info) { driver_of(req).release(req, info); }

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

result<fuse_session*> fuse_server::new_session(emulated_driver& driver, const char* mount_options) {
  std::vector<char*> argv{const_cast<char*>("blindscan-emulator")};
  if (mount_options) {
    argv.push_back(const_cast<char*>("-o"));
    argv.push_back(const_cast<char*>(mount_options));
  }
  fuse_args args = FUSE_ARGS_INIT(static_cast<int>(argv.size()), argv.data());
  fuse_session* session = fuse_session_new(&args, &operations, sizeof(operations), &driver);
  fuse_opt_free_args(&args);
  if (!session) return failure{"cannot start a FUSE session"};
  return session;
}

result<std::unique_ptr<fuse_server>> fuse_server::on_mounted_fd(emulated_driver& driver, int fuse_fd) {
  const result<fuse_session*> session = new_session(driver, nullptr);
  if (!session) {
    close(fuse_fd);
    return failure{session.error()};
  }
  // libfuse takes "/dev/fd/N" as an already mounted descriptor.
  const std::string mounted = "/dev/fd/" + std::to_string(fuse_fd);
  if (fuse_session_mount(*session, mounted.c_str()) != 0) {
    fuse_session_destroy(*session);
    close(fuse_fd);
    return failure{"cannot attach the FUSE session to descriptor " + std::to_string(fuse_fd)};
  }
  return std::unique_ptr<fuse_server>(new fuse_server(*session, false));
}

result<std::unique_ptr<fuse_server>> fuse_server::mounted_by_helper(emulated_driver& driver,
                                                                    const std::string& path) {
  const result<fuse_session*> session = new_session(driver, "default_permissions,fsname=blindscan-emulator");
  if (!session) return failure{session.error()};
  if (fuse_session_mount(*session, path.c_str()) != 0) {
    fuse_session_destroy(*session);
    return failure{"cannot mount " + path + " through fusermount3"};
  }
  return std::unique_ptr<fuse_server>(new fuse_server(*session, true));
}

fuse_server::fuse_server(fuse_session* session, bool unmount_at_end)
    : session_(session), unmount_at_end_(unmount_at_end), buffer_(std::make_unique<buffer>()) {}

fuse_server::~fuse_server() {
  if (unmount_at_end_) fuse_session_unmount(session_);
  fuse_session_destroy(session_);
}

int fuse_server::fd() const { return fuse_session_fd(session_); }

bool fuse_server::handle_request() {
  const int received = fuse_session_receive_buf(session_, &buffer_->data);
  if (received == -EINTR || received == -EAGAIN) return true;
  if (received <= 0) return false;
  fuse_session_process_buf(session_, &buffer_->data);
  return true;
}

}  // namespace blindscan::emulator
