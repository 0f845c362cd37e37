// Moving the NT headers of a PE image to another file offset. GNU ld always
// writes the "PE" signature at 0x80; Stub's image needs it at 0x100 because
// the bytes 248..255 hold the package container's end pointer.
#ifndef PE_MOVE_H
#define PE_MOVE_H

#include <cstdint>
#include <string>
#include <vector>

namespace pe {

// Moves the signature, file header, optional header and section table to
// newOffset, sets e_lfanew and recomputes the CheckSum. Refuses (false, with
// a reason in error) when the image is not a PE image, when the headers would
// not fit below SizeOfHeaders and the first section's data, when the target
// bytes are in use, or when a signature or bound imports tie the header
// layout. An image whose headers already stand there only gets its CheckSum.
bool MoveHeaders(std::vector<std::uint8_t>& image, std::uint32_t newOffset, std::string& error);

// The PE image checksum (16-bit one's-complement style sum plus the length),
// with the CheckSum field at checksumOffset counted as zero.
std::uint32_t Checksum(const std::vector<std::uint8_t>& image, std::size_t checksumOffset);

} // namespace pe

#endif
