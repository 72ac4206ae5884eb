#include "emulator/model/driver.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "kit/errno_names.h"
#include "kit/installation_faults.h"
#include "kit/sky_file.h"

namespace blindscan::emulator {
namespace {

using std::chrono::seconds;

const scan_clock::time_point t0{seconds(1000)};
const unsigned scan_code = static_cast<unsigned>(device::AVL2108_SET_PARAMETER);

// A scan of the low band, horizontal, over the whole range.
std::string scan_request(int32_t pol = 0) {
  const device::blindscan_request request{950, 2150, 1000, 45000, pol, 0};
  return {reinterpret_cast<const char*>(&request), sizeof(request)};
}

// n records, the i-th at tuner frequency i kHz, so that each is told apart.
std::string distinct_records(uint32_t n) {
  std::string bytes;
  for (uint32_t i = 1; i <= n; ++i) {
    const device::blindscan_result record{i, 27'500, 0};
    bytes.append(reinterpret_cast<const char*>(&record), sizeof(record));
  }
  return bytes;
}

// An answer as text: "done" with the frequency of each record delivered
// (and any bytes of a partial one), "refused ERRNO" or "pending TICKET".
std::string as_text(const outcome& given) {
  if (const auto* later = std::get_if<pending>(&given)) return "pending " + std::to_string(later->ticket);
  if (const auto* refusal = std::get_if<refused>(&given)) return "refused " + kit::errno_name(refusal->error);
  std::string text = "done";
  const std::string& bytes = std::get<succeeded>(given).bytes;
  size_t at = 0;
  for (; at + sizeof(device::blindscan_result) <= bytes.size(); at += sizeof(device::blindscan_result)) {
    device::blindscan_result record{};
    std::memcpy(&record, bytes.data() + at, sizeof(record));
    text += " " + std::to_string(record.frequency);
  }
  if (at < bytes.size()) text += " +" + std::to_string(bytes.size() - at);
  return text;
}

// What the driver's recorded answers still hold, one line for each node's
// opens and for each run, joined by '|'.
std::string as_text(const unasked_answers& left) {
  std::string text;
  for (const std::string& line : unasked_lines(left)) text += (text.empty() ? "" : "|") + line;
  return text;
}

std::string as_text(const std::vector<finished_request>& finished) {
  std::string text = "finished";
  for (const finished_request& scan : finished)
    text += " " + std::to_string(scan.ticket) + ":" + as_text(scan.result);
  return text;
}

// What the driver says at once of a scan request of the run with these
// arguments that its recorded answers hold no scan for.
std::string unrecorded(const std::string& run) {
  return "a scan request of the run '" + run +
         "' that the answers hold no recorded scan for (min_freq=950 max_freq=2150 min_symbol=1000 "
         "max_symbol=45000 pol=0 hilow_band=0) refused with ENODATA";
}

struct driver_case {
  const char* name;
  scan_source source;
  driver_settings settings;
  // What the kernel asks of the driver; each outcome as text.
  std::function<std::vector<std::string>(driver&)> requests;
  std::vector<std::string> answers;
  // What the driver said of the requests it had no recorded answer for.
  std::vector<std::string> said = {};
};

// Names the case in test listings.
void PrintTo(const driver_case& c, std::ostream* os) { *os << c.name; }

class Driver : public testing::TestWithParam<driver_case> {};

TEST_P(Driver, AnswersEachRequestAsARealDriverWould) {
  const driver_case& c = GetParam();
  std::vector<std::string> said;
  driver d(
      c.source, c.settings, [](std::string_view) {},
      [&said](std::string_view line) { said.emplace_back(line); });
  EXPECT_EQ(c.requests(d), c.answers);
  EXPECT_EQ(said, c.said);
}

driver_settings slow_scans() {
  driver_settings settings;
  settings.scan_time = seconds(1);
  return settings;
}

// An installation fault, as the kit reads it, on the scans given.
scan_fault installation_fault(uint64_t first_scan, bool later_scans, std::string_view text) {
  return {.first_scan = first_scan,
          .later_scans = later_scans,
          .kind = fault_kind::installation,
          .installation = *kit::parse_installation_fault(text).value()};
}

// A sky that cannot be read is empty here, and its scans find nothing.
std::vector<kit::transponder> sky_of(std::string_view text) {
  const kit::result<std::vector<kit::transponder>> sky = kit::parse_sky(text, "t");
  return sky ? *sky : std::vector<kit::transponder>{};
}

INSTANTIATE_TEST_SUITE_P(
    Requests, Driver,
    testing::Values(
        // The kernel hands each read the file's position: a second read goes on
        // from where the first stopped, and one at the end delivers nothing.
        driver_case{"ReadsContinueFromTheirOffset",
                    distinct_records(5),
                    {},
                    [](driver& d) {
                      const uint64_t f = d.open(O_RDWR);
                      return std::vector{as_text(d.ioctl(f, scan_code, scan_request(), t0)),
                                         as_text(d.read(f, 24, 0)), as_text(d.read(f, 1440, 24)),
                                         as_text(d.read(f, 1440, 60))};
                    },
                    {"done", "done 1 2", "done 3 4 5", "done"}},
        // Scans made one after another fall due at +1 s, +2 s and +60 s and
        // are answered in that order, each when its time has come.
        driver_case{"ScansAreAnsweredInDueOrder",
                    distinct_records(1),
                    slow_scans(),
                    [](driver& d) {
                      const uint64_t f = d.open(O_RDWR), g = d.open(O_RDWR), h = d.open(O_RDWR);
                      return std::vector{as_text(d.ioctl(f, scan_code, scan_request(), t0)),
                                         as_text(d.ioctl(g, scan_code, scan_request(), t0 + seconds(1))),
                                         as_text(d.ioctl(h, scan_code, scan_request(), t0 + seconds(59))),
                                         as_text(d.take_finished(t0 + seconds(2))),
                                         as_text(d.read(h, 1440, 0)),
                                         as_text(d.take_finished(t0 + seconds(60))),
                                         as_text(d.read(h, 1440, 0))};
                    },
                    {"pending 1", "pending 2", "pending 3", "finished 1:done 2:done", "done",
                     "finished 3:done", "done 1"}},
        // The sky's polarisations in either case; the search answers in
        // ascending tuner frequency.
        driver_case{"ASkyIsSearchedBlindly",
                    sky_of("10714000 h 22000 DVB-S\n10729000 v 2000 DVB-S2\n11000000 H 27500 DVB-S2\n"),
                    {},
                    [](driver& d) {
                      const uint64_t f = d.open(O_RDWR), g = d.open(O_RDWR);
                      return std::vector{
                          as_text(d.ioctl(f, scan_code, scan_request(0), t0)), as_text(d.read(f, 1440, 0)),
                          as_text(d.ioctl(g, scan_code, scan_request(1), t0)), as_text(d.read(g, 1440, 0))};
                    },
                    {"done", "done 964000 1250000", "done", "done 979000"}},
        // Recorded answers come in turn: each scan request takes the next
        // scan, each read on its file the next read after it, then nothing;
        // unfinished ones wait for an interruption; none is left for a
        // fourth scan.
        driver_case{"RecordedAnswersComeInTurn",
                    std::vector<recorded_scan>{
                        {recorded_end::answered,
                         0,
                         {{recorded_end::answered, distinct_records(2), 0}, {recorded_end::failed, "", EIO}}},
                        {recorded_end::failed, EBUSY, {{recorded_end::unfinished, "", 0}}},
                        {recorded_end::unfinished, 0, {}}},
                    {},
                    [](driver& d) {
                      const uint64_t f = d.open(O_RDWR), g = d.open(O_RDWR);
                      std::vector<std::string> outcomes{as_text(d.ioctl(f, scan_code, scan_request(), t0)),
                                                        as_text(d.read(g, 1440, 0)),
                                                        as_text(d.read(f, 12, 0)),
                                                        as_text(d.read(f, 1440, 12)),
                                                        as_text(d.read(f, 1440, 0)),
                                                        as_text(d.ioctl(g, scan_code, scan_request(), t0)),
                                                        as_text(d.read(g, 1440, 0)),
                                                        as_text(d.ioctl(f, scan_code, scan_request(), t0)),
                                                        as_text(d.take_finished(t0 + seconds(3600)))};
                      d.interrupt(3);
                      d.interrupt(4);
                      outcomes.push_back(as_text(d.take_finished(t0)));
                      outcomes.push_back(as_text(d.ioctl(f, scan_code, scan_request(), t0)));
                      return outcomes;
                    },
                    {"done", "done", "done 1", "refused EIO", "done", "refused EBUSY", "pending 3",
                     "pending 4", "finished", "finished 3:refused EINTR 4:refused EINTR", "refused ENODATA"},
                    {unrecorded("")}},
        // A scan recorded with its run answers only a run with the same
        // arguments, whichever comes first; one no recording holds is
        // refused, counted and said at once.  Opens are refused in their
        // turn.  What no request took is left: an open, a run's scan with its
        // read, and a read after a scan taken.
        driver_case{
            "RecordedRunsGetTheirOwnScans",
            std::vector<recorded_scan>{
                {recorded_end::answered, 0, {{recorded_end::answered, "a", 0}}, {{"0", "950"}}},
                {recorded_end::answered,
                 0,
                 {{recorded_end::answered, "bb", 0}, {recorded_end::answered, "c", 0}},
                 {{"1", "950"}}}},
            driver_settings{{}, {}, {}, {0, EBUSY, 0, 0}},
            [](driver& d) {
              const std::optional<int> first = d.refuse_open(O_RDWR), second = d.refuse_open(O_RDWR),
                                       third = d.refuse_open(O_RDWR);
              const uint64_t f = d.open(O_RDWR), g = d.open(O_RDWR);
              return std::vector{std::to_string(first.value_or(0)) + std::to_string(second.value_or(0)) +
                                     std::to_string(third.value_or(0)),
                                 as_text(d.ioctl(f, scan_code, scan_request(), t0, {"1", "950"})),
                                 as_text(d.ioctl(g, scan_code, scan_request(), t0, {"1", "950"})),
                                 as_text(d.read(f, 1440, 0)),
                                 std::to_string(d.unrecorded_requests()),
                                 as_text(d.unasked())};
            },
            {"0" + std::to_string(EBUSY) + "0", "done", "refused ENODATA", "done +2", "1",
             "1 recorded open(s)|1 recorded scan(s) and 1 read(s) of the run '0 950'|1 recorded read(s) "
             "of the run '1 950'"},
            {unrecorded("1 950")}},
        // A read before any scan falls with the first, and fails with it.
        driver_case{"AReadBeforeAnyScanFallsWithTheFirst",
                    distinct_records(1),
                    driver_settings{{}, {{1, true, fault_kind::fail_read, EIO, 0}}, {}, {}},
                    [](driver& d) { return std::vector{as_text(d.read(d.open(O_RDWR), 1440, 0))}; },
                    {"refused EIO"}},
        // Each fault falls on the scans it names, counted on the node: the
        // second scan only refused, the third left waiting until its caller
        // gives up, the reads after the fifth failed, and those after the
        // fourth and every later one cut short.
        driver_case{
            "FaultsFallOnTheScansTheyName",
            distinct_records(5),
            driver_settings{{},
                            {{2, false, fault_kind::fail_ioctl, EBUSY, 0},
                             {3, false, fault_kind::hang, 0, 0},
                             {4, true, fault_kind::read_bytes, 0, 25},
                             {5, false, fault_kind::fail_read, EIO, 0}},
                            {},
                            {}},
            [](driver& d) {
              const uint64_t f = d.open(O_RDWR);
              std::vector<std::string> outcomes{as_text(d.ioctl(f, scan_code, scan_request(), t0)),
                                                as_text(d.read(f, 1440, 0)),
                                                as_text(d.ioctl(f, scan_code, scan_request(), t0)),
                                                as_text(d.ioctl(f, scan_code, scan_request(), t0)),
                                                as_text(d.take_finished(t0 + seconds(3600)))};
              d.interrupt(3);
              outcomes.push_back(as_text(d.take_finished(t0)));
              for (int scan = 4; scan <= 6; ++scan) {
                outcomes.push_back(as_text(d.ioctl(f, scan_code, scan_request(), t0)));
                outcomes.push_back(as_text(d.read(f, 1440, 0)));
              }
              return outcomes;
            },
            {"done", "done 1 2 3 4 5", "refused EBUSY", "pending 3", "finished", "finished 3:refused EINTR",
             "done", "done 1 2 +1", "done", "refused EIO", "done", "done 1 2 +1"}},
        // Installation faults fall on the scans they name, of several kinds
        // together: the cable's loss on every scan, but on the third, where
        // the last given stands; the tone on the second alone; the voltage
        // stuck on the fourth.
        driver_case{"InstallationFaultsFallOnTheScansTheyName",
                    sky_of("10714000 H 22000 DVB-S\n10729000 V 2000 DVB-S2\n11800000 H 27500 DVB-S2\n"
                           "12000000 H 27500 DVB-S2\n"),
                    driver_settings{{},
                                    {installation_fault(1, true, "cable-loss=1300"),
                                     installation_fault(2, false, "tone-stuck"),
                                     installation_fault(3, false, "cable-loss=2150"),
                                     installation_fault(4, false, "pol-stuck=V")},
                                    {},
                                    {}},
                    [](driver& d) {
                      const uint64_t f = d.open(O_RDWR);
                      std::vector<std::string> outcomes;
                      for (int scan = 1; scan <= 5; ++scan) {
                        outcomes.push_back(as_text(d.ioctl(f, scan_code, scan_request(), t0)));
                        outcomes.push_back(as_text(d.read(f, 1440, 0)));
                      }
                      return outcomes;
                    },
                    {"done", "done 964000", "done", "done 1200000", "done", "done 964000 2050000", "done",
                     "done 979000", "done", "done 964000"}},
        // Each open file reads the answer to its own last scan, also once
        // another file has closed; a closed file is no longer open.
        driver_case{"AFileReadsOnlyItsOwnScan",
                    distinct_records(2),
                    {},
                    [](driver& d) {
                      const uint64_t f = d.open(O_RDWR), g = d.open(O_RDWR);
                      std::vector<std::string> outcomes{
                          as_text(d.ioctl(f, scan_code, scan_request(), t0)), as_text(d.read(g, 1440, 0)),
                          as_text(d.read(f, 1440, 0)), as_text(d.ioctl(g, scan_code, scan_request(), t0))};
                      d.release(f);
                      outcomes.push_back(as_text(d.read(g, 1440, 0)));
                      outcomes.push_back(std::to_string(d.open_files()));
                      return outcomes;
                    },
                    {"done", "done", "done 1 2", "done", "done 1 2", "1"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace blindscan::emulator
