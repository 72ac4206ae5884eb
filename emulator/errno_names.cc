#include "emulator/errno_names.h"

#include <cerrno>
#include <iterator>

namespace blindscan::emulator {

namespace {

struct errno_entry {
  std::string_view name;
  int value;
};

// The errors a driver or the kernel plausibly gives for an open, a request or
// a read.  Where two names share a value the first one is used in the log.
constexpr errno_entry errno_table[] = {
    {"EPERM", EPERM},
    {"ENOENT", ENOENT},
    {"EINTR", EINTR},
    {"EIO", EIO},
    {"ENXIO", ENXIO},
    {"E2BIG", E2BIG},
    {"EBADF", EBADF},
    {"EAGAIN", EAGAIN},
    {"EWOULDBLOCK", EWOULDBLOCK},
    {"ENOMEM", ENOMEM},
    {"EACCES", EACCES},
    {"EFAULT", EFAULT},
    {"EBUSY", EBUSY},
    {"EEXIST", EEXIST},
    {"ENODEV", ENODEV},
    {"EINVAL", EINVAL},
    {"ENFILE", ENFILE},
    {"EMFILE", EMFILE},
    {"ENOTTY", ENOTTY},
    {"EFBIG", EFBIG},
    {"ENOSPC", ENOSPC},
    {"ESPIPE", ESPIPE},
    {"EROFS", EROFS},
    {"EPIPE", EPIPE},
    {"EDOM", EDOM},
    {"ERANGE", ERANGE},
    {"EDEADLK", EDEADLK},
    {"ENOSYS", ENOSYS},
    {"ENODATA", ENODATA},
    {"ETIME", ETIME},
    {"EPROTO", EPROTO},
    {"EBADMSG", EBADMSG},
    {"EOVERFLOW", EOVERFLOW},
    {"EILSEQ", EILSEQ},
    {"EOPNOTSUPP", EOPNOTSUPP},
    {"ENOTSUP", ENOTSUP},
    {"ENOBUFS", ENOBUFS},
    {"ECONNRESET", ECONNRESET},
    {"ETIMEDOUT", ETIMEDOUT},
    {"EHOSTDOWN", EHOSTDOWN},
    {"EALREADY", EALREADY},
    {"EINPROGRESS", EINPROGRESS},
    {"ESTALE", ESTALE},
    {"EREMOTEIO", EREMOTEIO},
    {"ECANCELED", ECANCELED},
    {"ENOMEDIUM", ENOMEDIUM},
    {"ENOTCONN", ENOTCONN},
};

}  // namespace

std::optional<int> errno_from_name(std::string_view name) {
  for (const errno_entry& entry : errno_table)
    if (entry.name == name) return entry.value;
  return std::nullopt;
}

std::string errno_name(int value) {
  for (const errno_entry& entry : errno_table)
    if (entry.value == value) return std::string(entry.name);
  return std::to_string(value);
}

}  // namespace blindscan::emulator
