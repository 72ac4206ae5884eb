#include "emulator/model/driver.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "kit/installation_faults.h"

namespace blindscan::emulator {

namespace {

// The write the tool never makes is refused, as by a driver without one.
constexpr int write_error = EPERM;
// A scan request beyond the last a recording answered has no answer.
constexpr int unrecorded_error = ENODATA;

}  // namespace

driver::driver(scan_source source, const driver_settings& settings, event_sink log, event_sink divergences)
    : source_(std::move(source)),
      settings_(settings),
      log_(std::move(log)),
      divergences_(std::move(divergences)) {}

std::optional<int> driver::refuse_open(int flags) {
  if (next_recorded_open_ == settings_.recorded_opens.size()) return std::nullopt;
  const int error = settings_.recorded_opens[next_recorded_open_++];
  if (error == 0) return std::nullopt;
  log_(events::open_failed(flags, error));
  return error;
}

uint64_t driver::open(int flags) {
  log_(events::opened(flags));
  const uint64_t file = next_file_++;
  files_.emplace(file, open_file{scan_records{}});
  return file;
}

outcome driver::ioctl(uint64_t file, unsigned cmd, std::string_view argument, scan_clock::time_point now,
                      const std::vector<std::string>& caller_arguments) {
  if (cmd != static_cast<unsigned>(device::AVL2108_SET_PARAMETER)) {
    log_(events::unknown_request(cmd, ENOTTY));
    return refused{ENOTTY};
  }
  device::blindscan_request request{};
  std::memcpy(&request, argument.data(), std::min(argument.size(), sizeof(request)));
  log_(events::scan_requested(cmd, request));

  pending_request scan = next_scan(file, request, now, caller_arguments);
  if (scan.due && settings_.scan_time == scan_clock::duration::zero()) return finish(scan);
  const uint64_t ticket = scan.ticket;
  pending_.add(std::move(scan));
  return pending{ticket};
}

pending_request driver::next_scan(uint64_t file, const device::blindscan_request& request,
                                  scan_clock::time_point now,
                                  const std::vector<std::string>& caller_arguments) {
  pending_request scan{next_ticket_++, file};
  scan.due = now + settings_.scan_time;
  const uint64_t number = ++scans_;
  if (const auto entry = files_.find(file); entry != files_.end()) entry->second.scan = number;
  // A refused scan leaves nothing to read; a hung one is answered only
  // once its caller gives up.
  if (const scan_fault* fault =
          fault_on(settings_.faults, number, {fault_kind::fail_ioctl, fault_kind::hang})) {
    if (fault->kind == fault_kind::hang) {
      scan.due.reset();
    } else {
      scan.refusal = fault->error;
    }
    return scan;
  }
  if (const auto* records = std::get_if<std::string>(&source_)) {
    scan.reads = given_records(*records);
  } else if (const auto* sky = std::get_if<std::vector<kit::transponder>>(&source_)) {
    scan.reads = searched_records(kit::installation_search(*sky, request, settings_.jitter, settings_.dish,
                                                           installation_faults_on(settings_.faults, number)));
  } else {
    const auto& recorded = std::get<std::vector<recorded_scan>>(source_);
    const std::optional<size_t> chosen = next_recorded(recorded, caller_arguments);
    if (!chosen) {
      ++unrecorded_requests_;
      log_(events::scan_unrecorded());
      divergences_(events::unrecorded_request(caller_arguments, request, unrecorded_error));
      scan.refusal = unrecorded_error;
      return scan;
    }
    const recorded_scan& next = recorded[*chosen];
    scan.reads = recorded_reads{next.reads, 0, *chosen};
    if (next.end == recorded_end::failed) scan.refusal = next.error;
    if (next.end == recorded_end::unfinished) scan.due.reset();
  }
  return scan;
}

std::optional<size_t> driver::next_recorded(const std::vector<recorded_scan>& recorded,
                                            const std::vector<std::string>& caller_arguments) {
  recorded_use_.resize(recorded.size());
  for (size_t at = 0; at < recorded.size(); ++at) {
    if (recorded_use_[at].taken || (recorded[at].run && *recorded[at].run != caller_arguments)) continue;
    recorded_use_[at].taken = true;
    return at;
  }
  return std::nullopt;
}

unasked_answers driver::unasked() const {
  unasked_answers left;
  left.opens = settings_.recorded_opens.size() - next_recorded_open_;
  const auto* recorded = std::get_if<std::vector<recorded_scan>>(&source_);
  if (recorded == nullptr) return left;
  for (size_t at = 0; at < recorded->size(); ++at) {
    const recorded_scan& scan = (*recorded)[at];
    const recorded_use use = at < recorded_use_.size() ? recorded_use_[at] : recorded_use{};
    const size_t reads = scan.reads.size() - use.reads;
    if (use.taken && reads == 0) continue;
    // The runs in the order the recording first names them.
    auto run = std::find_if(left.runs.begin(), left.runs.end(),
                            [&](const unasked_run& earlier) { return earlier.run == scan.run; });
    if (run == left.runs.end()) run = left.runs.insert(left.runs.end(), unasked_run{scan.run});
    run->scans += use.taken ? 0 : 1;
    run->reads += reads;
  }
  return left;
}

outcome driver::read(uint64_t file, size_t size, uint64_t offset) {
  const auto entry = files_.find(file);
  // A read before any scan request falls with the first.
  const uint64_t scan = std::max<uint64_t>(entry != files_.end() ? entry->second.scan : 0, 1);
  if (const scan_fault* fault = fault_on(settings_.faults, scan, {fault_kind::fail_read})) {
    log_(events::read_failed(size, fault->error));
    return refused{fault->error};
  }
  if (entry != files_.end()) {
    if (auto* recorded = std::get_if<recorded_reads>(&entry->second.reads))
      return read_recorded(file, *recorded, size);
  }
  static const scan_records nothing_scanned{};
  const scan_records& records =
      entry != files_.end() ? std::get<scan_records>(entry->second.reads) : nothing_scanned;
  std::optional<size_t> read_limit;
  if (const scan_fault* fault = fault_on(settings_.faults, scan, {fault_kind::read_bytes}))
    read_limit = fault->bytes;
  const size_t length = delivery_length(records, offset, size, read_limit);
  log_(events::records_read(size, length));
  return succeeded{length ? records.bytes.substr(offset, length) : std::string()};
}

// The next recorded read answers this one; once they are used up, a read
// delivers nothing, as at the end of the records.
outcome driver::read_recorded(uint64_t file, recorded_reads& recorded, size_t size) {
  if (recorded.next == recorded.reads.size()) {
    log_(events::records_read(size, 0));
    return succeeded{};
  }
  const recorded_read& next = recorded.reads[recorded.next++];
  ++recorded_use_[recorded.scan].reads;
  switch (next.end) {
    case recorded_end::failed:
      log_(events::read_failed(size, next.error));
      return refused{next.error};
    case recorded_end::unfinished: {
      const uint64_t ticket = next_ticket_++;
      pending_.add({ticket, file, request_kind::read});
      return pending{ticket};
    }
    case recorded_end::answered:
      break;
  }
  const size_t length = std::min(size, next.bytes.size());
  log_(events::records_read(size, length));
  return succeeded{next.bytes.substr(0, length)};
}

outcome driver::write(size_t size) {
  log_(events::write_refused(size));
  return refused{write_error};
}

void driver::release(uint64_t file) {
  files_.erase(file);
  log_(events::released());
}

void driver::interrupt(uint64_t ticket) { pending_.interrupt(ticket); }

std::vector<finished_request> driver::take_finished(scan_clock::time_point now) {
  std::vector<finished_request> finished;
  for (pending_request& request : pending_.take_due(now))
    finished.push_back({request.ticket, finish(request)});
  return finished;
}

outcome driver::finish(pending_request& request) {
  if (request.interrupted) {
    log_(request.kind == request_kind::scan ? events::scan_interrupted() : events::read_interrupted());
    return refused{EINTR};
  }
  // The file's next reads deliver what this scan left them.
  if (const auto entry = files_.find(request.file); entry != files_.end())
    entry->second.reads = std::move(request.reads);
  if (request.refusal) {
    log_(events::scan_failed(*request.refusal));
    return refused{*request.refusal};
  }
  return succeeded{};
}

}  // namespace blindscan::emulator
