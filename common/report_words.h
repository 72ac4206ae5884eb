// The words of the tool's output: the report line's ten fields in their
// order, the words each field takes, and the "open path" line.  The tool
// writes them and the kit reads them back from this one table, so that a
// reader and the writer cannot disagree.  Each word that a driver may print
// besides the tool's own (INVERSION_ON, FEC_3_4, 16APSK, ...) stands here
// too, with the word a DVBv5 channel file spells it with.
#pragma once

namespace blindscan::common::report_words {

// The fields of a report line, in the order the tool writes them, one space
// between each and the next and a line feed after the last.
enum field : int {
  status_field,
  polarisation_field,
  frequency_field,  // kHz, unsigned decimal
  symbol_rate_field,  // the driver's unit, unsigned decimal
  system_field,
  inversion_field,
  pilot_field,
  inner_fec_field,
  modulation_field,
  rolloff_field,
  field_count,
};

inline constexpr char ok[] = "OK";
inline constexpr char horizontal[] = "HORIZONTAL";
inline constexpr char vertical[] = "VERTICAL";
inline constexpr char dvb_s[] = "DVB-S";
inline constexpr char dvb_s2[] = "DVB-S2";
inline constexpr char inversion_auto[] = "INVERSION_AUTO";
inline constexpr char pilot_on[] = "PILOT_ON";
inline constexpr char fec_auto[] = "FEC_AUTO";
inline constexpr char qpsk[] = "QPSK";
inline constexpr char psk_8[] = "8PSK";
inline constexpr char rolloff_35[] = "ROLLOFF_35";

// The line each run prints before it opens the node: these words, then the
// node's path.
inline constexpr char open_path[] = "open path ";

// A word of a field, and how a DVBv5 channel file spells the same value.
struct spelling {
  const char* report;
  const char* channel_file;
};

inline constexpr spelling inversions[] = {
    {inversion_auto, "AUTO"}, {"INVERSION_ON", "ON"}, {"INVERSION_OFF", "OFF"}};
inline constexpr spelling pilots[] = {{"PILOT_AUTO", "AUTO"}, {pilot_on, "ON"}, {"PILOT_OFF", "OFF"}};
inline constexpr spelling inner_fecs[] = {{fec_auto, "AUTO"}, {"FEC_NONE", "NONE"}, {"FEC_1_2", "1/2"},
                                          {"FEC_2_3", "2/3"}, {"FEC_3_4", "3/4"},   {"FEC_3_5", "3/5"},
                                          {"FEC_4_5", "4/5"}, {"FEC_5_6", "5/6"},   {"FEC_6_7", "6/7"},
                                          {"FEC_7_8", "7/8"}, {"FEC_8_9", "8/9"},   {"FEC_9_10", "9/10"}};
inline constexpr spelling modulations[] = {
    {qpsk, "QPSK"}, {psk_8, "PSK/8"}, {"16APSK", "APSK/16"}, {"32APSK", "APSK/32"}};
inline constexpr spelling rolloffs[] = {
    {rolloff_35, "35"}, {"ROLLOFF_25", "25"}, {"ROLLOFF_20", "20"}, {"ROLLOFF_AUTO", "AUTO"}};

}  // namespace blindscan::common::report_words
