// The mapping compatibility check between a code file and a personalization file.
//
// A code file describes the memory mapping it was built for in its tag block (see tag_walker.h):
// record 4 holds a mapping identifier, record 11 (optional) points to an alternative 8-byte
// identifier, record 5 points to the mapping table, a run of 3-byte entries ended by 00 00 00.
// The code file's bytes 48-51 hold the offset of the tag block.
//
// A personalization file names its mapping in its header: bytes 0-1 are the identifier
// (p0 p1, e.g. "B3"), bytes 4-5 two characters (p4 p5, e.g. "12"). From them the check forms
// the search entry, all arithmetic on 8-bit values:
//   E0 = ((p0 + 3) mod 4) << 6  OR  (p1 - 0x30)
//   E1 = p4 - 0x30
//   E2 = p5 - 0x30
// so "B3" with "12" gives 43 01 02.
//
// The files agree (MX40_MAP_COMPATIBLE) when p0 p1 equal the first two bytes of the mapping
// identifier or of the alternative one, and the mapping table holds the search entry before its
// end entry (a search entry of 00 00 00 matches the end entry itself). Identifiers that a file
// does not carry count as FF FF, as does a record 4 longer than 8 bytes.
//
// Results, in the order the check can reach them (MX40_MAP_* of dekvanto/mx40.h):
//   14  a path is null; no file is opened
//   12  the code file cannot be opened; the personalization file is not opened
//   13  the personalization file cannot be opened
//   15  no usable mapping table offset: the code file is shorter than 52 bytes, its tag block
//       offset lies past the end, the block has no magic, no record 5 within the first 1000
//       bytes of the block, a record 5 whose value is not exactly 4 bytes, or a table offset at
//       or past the end of the code file
//   11  the identifiers differ, the personalization file is shorter than 6 bytes, or the table
//       ends (by its end entry or by the end of the file) before the search entry
//   10  compatible
#pragma once

#include <cstdint>

#include "mapcheck/byte_source.h"

namespace dekvanto::engine {

// The mapping check on two files, opened read-only and shared through the machine's file layer
// and closed again before it returns. This is the exported CheckMapCompat.
int32_t CheckMapCompat(const char *code_path, const char *perso_path);

// The same with the files opened through opener: the code file first, the personalization file
// only once the code file is open.
int32_t CheckMapCompat(const char *code_path, const char *perso_path, ByteSourceOpener &opener);

// The check proper, on two sources that are already open. Reads only the bytes it needs and
// never more than they hold; ends on any content.
int32_t CheckMapSources(ByteSource &code, ByteSource &perso);

}  // namespace dekvanto::engine
