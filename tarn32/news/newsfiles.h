// The files of news import: the rnews batch, the work files, the newsgroup
// table "area.dat" and the news header index "Header.Msg".
//
// Batch (plain): for each article a line "#! rnews " + size in decimal +
// "\n", then exactly that many bytes of article (header lines, an empty
// line, the body). Lines between articles that do not begin with
// "#! rnews " are skipped. A compressed batch is the 12 bytes
// "#! cunbatch\n" followed by the .z form of a plain batch.
//
// Work files, in the inbound folder, reused by every import:
//   "$7b60051.z"    compressed data of the batch, read by the decompressor
//   "$7b60051"      the plain batch (decompressor output, or the data file
//                   moved to this name)
//   "$7b60051.tmp"  copy of the plain batch while it is made
//   "$7b60051.int"  the plain batch that is split into articles
//
// "area.dat" (work folder, written by the host, read in binary mode): pairs
// of lines, a name (at most 254 characters; its last character, the line
// feed, is dropped, a carriage return before it stays) and an area number
// (at most 18 characters, signed decimal, no digits = 0).
//
// "Header.Msg" (inbound folder, text mode), nine lines per stored article:
//   1  area number, "%ld\n"
//   2  "From: " line           kept 499 characters
//   3  "Date: " line           kept 99
//   4  "Message-ID: " line     kept 499
//   5  "Subject: " line        kept 199
//   6  "References: " line     kept 499; none: line 4 again
//   7  "Lines: " line          kept 11
//   8  start offset in the area file, "%ld\n" (1 when the file was empty)
//   9  end offset, "%ld\n"
// A missing header stands as its name alone ("Date: \n"); a line cut at its
// kept size gets a line feed, so a record always has nine lines.
#pragma once

namespace tarn {

constexpr const char* kBatchWorkName = "$7b60051";
constexpr const char* kBatchCompressedName = "$7b60051.z";
constexpr const char* kBatchCopyName = "$7b60051.tmp";
constexpr const char* kBatchSplitName = "$7b60051.int";
constexpr const char* kAreaTableName = "area.dat";
constexpr const char* kNewsIndexName = "Header.Msg";
constexpr const char* kNewsLogName = "news.log";

constexpr const char* kArticleMark = "#! rnews ";  // 9 characters, any case
constexpr const char* kCompressedMark = "#! cunbatch";  // 11 characters, any case, then "\n"

}  // namespace tarn
