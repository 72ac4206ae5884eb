#include "emulator/model/events.h"

#include <fcntl.h>

#include <cstdio>
#include <iterator>

#include "kit/errno_names.h"

namespace blindscan::emulator {

namespace events {

namespace {

std::string hex(unsigned value) {
  char text[16];
  (void)std::snprintf(text, sizeof(text), "0x%x", value);  // at most 10 characters
  return text;
}

// The kernel's own O_LARGEFILE bit, which a 64-bit kernel and many C
// libraries add to every open; the C library's O_LARGEFILE is 0 on 64-bit
// hosts.
#if defined(__mips__)
constexpr unsigned kernel_largefile = 0x2000;
#elif defined(__x86_64__) || defined(__i386__)
constexpr unsigned kernel_largefile = 0100000;
#elif defined(__aarch64__) || defined(__arm__)
constexpr unsigned kernel_largefile = 0400000;
#else
constexpr unsigned kernel_largefile = O_LARGEFILE;
#endif

struct flag_name {
  int flag;
  const char* name;
};

// O_SYNC comes before O_DSYNC, whose bit it includes.
constexpr flag_name named_flags[] = {
    {O_CREAT, "O_CREAT"},         {O_EXCL, "O_EXCL"},         {O_NOCTTY, "O_NOCTTY"},
    {O_TRUNC, "O_TRUNC"},         {O_APPEND, "O_APPEND"},     {O_NONBLOCK, "O_NONBLOCK"},
    {O_SYNC, "O_SYNC"},           {O_DSYNC, "O_DSYNC"},       {O_DIRECT, "O_DIRECT"},
    {O_DIRECTORY, "O_DIRECTORY"}, {O_NOFOLLOW, "O_NOFOLLOW"}, {O_NOATIME, "O_NOATIME"},
    {O_CLOEXEC, "O_CLOEXEC"},     {O_PATH, "O_PATH"},
};

// "min_freq=950 max_freq=2150 ...", each field in signed decimal.
std::string request_fields(const device::blindscan_request& request) {
  return "min_freq=" + std::to_string(request.min_freq) + " max_freq=" + std::to_string(request.max_freq) +
         " min_symbol=" + std::to_string(request.min_symbol) +
         " max_symbol=" + std::to_string(request.max_symbol) + " pol=" + std::to_string(request.pol) +
         " hilow_band=" + std::to_string(request.hilow_band);
}

}  // namespace

std::string open_flags(int flags) {
  std::string text;
  switch (flags & O_ACCMODE) {
    case O_RDONLY:
      text = "O_RDONLY";
      break;
    case O_WRONLY:
      text = "O_WRONLY";
      break;
    case O_RDWR:
      text = "O_RDWR";
      break;
    default:
      text = "O_ACCMODE";
      break;
  }
  unsigned rest = static_cast<unsigned>(flags) & ~(static_cast<unsigned>(O_ACCMODE) | kernel_largefile);
  for (const flag_name& named : named_flags) {
    const auto bits = static_cast<unsigned>(named.flag);
    if ((rest & bits) == bits) {
      text += '|';
      text += named.name;
      rest &= ~bits;
    }
  }
  if (rest != 0) text += "|" + hex(rest);
  return text;
}

std::string mounted(std::string_view path) { return "mounted path=" + std::string(path); }

std::string opened(int flags) { return "open flags=" + open_flags(flags); }

std::string open_failed(int flags, int error) {
  return "open-failed flags=" + open_flags(flags) + " errno=" + kit::errno_name(error);
}

std::string scan_requested(unsigned cmd, const device::blindscan_request& request) {
  return "ioctl cmd=" + hex(cmd) + " " + request_fields(request);
}

std::string unknown_request(unsigned cmd, int error) {
  return "ioctl-unknown cmd=" + hex(cmd) + " errno=" + kit::errno_name(error);
}

std::string scan_failed(int error) { return "ioctl-failed errno=" + kit::errno_name(error); }

std::string scan_unrecorded() { return "ioctl-unrecorded"; }

std::string scan_interrupted() { return "ioctl-interrupted"; }

std::string read_interrupted() { return "read-interrupted"; }

std::string records_read(size_t size, size_t delivered) {
  return "read size=" + std::to_string(size) + " delivered=" + std::to_string(delivered);
}

std::string read_failed(size_t size, int error) {
  return "read-failed size=" + std::to_string(size) + " errno=" + kit::errno_name(error);
}

std::string write_refused(size_t size) { return "write size=" + std::to_string(size) + " refused"; }

std::string released() { return "release"; }

std::string unrecorded_request(const std::vector<std::string>& caller_arguments,
                               const device::blindscan_request& request, int error) {
  return "a scan request of " + run_name(caller_arguments) + " that the answers hold no recorded scan for (" +
         request_fields(request) + ") refused with " + kit::errno_name(error);
}

}  // namespace events

std::string run_name(const std::vector<std::string>& arguments) {
  std::string joined;
  for (const std::string& argument : arguments) joined += (joined.empty() ? "" : " ") + argument;
  return "the run '" + joined + "'";
}

}  // namespace blindscan::emulator
