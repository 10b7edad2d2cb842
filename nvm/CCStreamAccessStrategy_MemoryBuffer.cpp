#include "nvm/CCStreamAccessStrategy_MemoryBuffer.h"

#include <cstring>

#include "bytes/ByteReader.h"
#include "nvm/NvmChecksum.h"

CCStreamAccessStrategy_MemoryBuffer::CCStreamAccessStrategy_MemoryBuffer(uint8_t* buffer,
                                                                         uint32_t capacity)
    : m_pBuffer(buffer), m_nCapacity(buffer ? capacity : 0) {}

bool CCStreamAccessStrategy_MemoryBuffer::Fits(uint32_t offset, uint32_t length) {
  if (!FitsWithin(m_nCapacity, offset, length)) {
    m_bOverrun = true;
    return false;
  }
  return true;
}

void CCStreamAccessStrategy_MemoryBuffer::Read(uint32_t offset, void* destination,
                                               uint32_t length) {
  if (length == 0) {
    return;
  }
  if (Fits(offset, length)) {
    std::memcpy(destination, m_pBuffer + offset, length);
  } else {
    std::memset(destination, 0, length);
  }
}

void CCStreamAccessStrategy_MemoryBuffer::Write(uint32_t offset, const void* source,
                                                uint32_t length) {
  if (length != 0 && Fits(offset, length)) {
    std::memcpy(m_pBuffer + offset, source, length);
  }
}

void CCStreamAccessStrategy_MemoryBuffer::ClearByte(uint32_t offset, uint32_t) {
  if (Fits(offset, 1)) {
    m_pBuffer[offset] = 0;
  }
}

uint32_t CCStreamAccessStrategy_MemoryBuffer::Checksum(uint32_t offset, uint32_t length) {
  return Fits(offset, length) ? NvmChecksum(m_pBuffer + offset, length) : NvmChecksum(nullptr, 0);
}
