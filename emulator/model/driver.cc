#include "emulator/model/driver.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace blindscan::emulator {

namespace {

// The write the tool never makes is refused, as by a driver without one.
constexpr int write_error = EPERM;

// The answer to request from either kind of source.
scan_answer search(const scan_source& source, const device::blindscan_request& request,
                   const measurement_jitter& jitter) {
  if (const auto* records = std::get_if<std::string>(&source)) return answer_from_bytes(*records);
  return answer_from_records(blind_search(std::get<std::vector<transponder>>(source), request, jitter));
}

}  // namespace

driver::driver(scan_source source, const driver_settings& settings, event_sink log)
    : source_(std::move(source)), settings_(settings), log_(std::move(log)) {}

uint64_t driver::open(int flags) {
  log_(events::opened(flags));
  const uint64_t file = next_file_++;
  files_.emplace(file, scan_answer{});
  return file;
}

answer driver::ioctl(uint64_t file, unsigned cmd, std::string_view argument, scan_clock::time_point now) {
  if (cmd != static_cast<unsigned>(device::AVL2108_SET_PARAMETER)) {
    log_(events::unknown_request(cmd, ENOTTY));
    return refused{ENOTTY};
  }
  device::blindscan_request request{};
  std::memcpy(&request, argument.data(), std::min(argument.size(), sizeof(request)));
  log_(events::scan_requested(cmd, request));

  pending_scan scan{next_ticket_++, file, now + settings_.scan_time,
                    search(source_, request, settings_.jitter)};
  if (settings_.scan_time.count() == 0) return finish(scan);
  const uint64_t ticket = scan.ticket;
  pending_.add(std::move(scan));
  return pending{ticket};
}

answer driver::read(uint64_t file, size_t size, uint64_t offset) {
  if (settings_.fail_read) {
    log_(events::read_failed(size, *settings_.fail_read));
    return refused{*settings_.fail_read};
  }
  static const scan_answer nothing_scanned{};
  const auto entry = files_.find(file);
  const scan_answer& answer = entry != files_.end() ? entry->second : nothing_scanned;
  const size_t length = delivery_length(answer, offset, size, settings_.read_bytes);
  log_(events::records_read(size, length));
  return done{length ? answer.bytes.substr(offset, length) : std::string()};
}

answer driver::write(size_t size) {
  log_(events::write_refused(size));
  return refused{write_error};
}

void driver::release(uint64_t file) {
  files_.erase(file);
  log_(events::released());
}

void driver::interrupt(uint64_t ticket) { pending_.interrupt(ticket); }

std::vector<finished_scan> driver::take_finished(scan_clock::time_point now) {
  std::vector<finished_scan> finished;
  for (const pending_scan& scan : pending_.take_due(now)) finished.push_back({scan.ticket, finish(scan)});
  return finished;
}

answer driver::finish(const pending_scan& scan) {
  if (scan.interrupted) {
    log_(events::scan_interrupted());
    return refused{EINTR};
  }
  // The file's next reads deliver this scan's answer; a refused scan leaves
  // nothing to read.
  const auto entry = files_.find(scan.file);
  if (settings_.fail_ioctl) {
    if (entry != files_.end()) entry->second = scan_answer{};
    log_(events::scan_failed(*settings_.fail_ioctl));
    return refused{*settings_.fail_ioctl};
  }
  if (entry != files_.end()) entry->second = scan.answer;
  return done{};
}

}  // namespace blindscan::emulator
