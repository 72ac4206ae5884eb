#include "report/report.h"

namespace blindscan::report {

char report_buffer[report_buffer_size];

}  // namespace blindscan::report
