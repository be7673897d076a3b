// Sound output: buffers of PCM that the engine's mixer plays.
//
// Units are the engine's: volume in hundredths of a decibel (0 loudest,
// -10000 silent), pan -10000 (left only) .. 10000 (right only), frequency
// in samples per second.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

namespace vv::platform {

struct PcmFormat {
  int channels = 2;
  int sampleRate = 44100;
  int bitsPerSample = 16;
  int bytesPerFrame() const { return channels * bitsPerSample / 8; }
};

class SoundBuffer {
 public:
  virtual ~SoundBuffer() = default;
  virtual const PcmFormat& Format() const = 0;
  virtual size_t SizeBytes() const = 0;
  // Writes bytes into the ring at `offset` (wrapping at the end).
  virtual void Write(size_t offset, std::span<const uint8_t> bytes) = 0;
  virtual void Play(bool loop) = 0;
  virtual void Stop() = 0;
  virtual bool IsPlaying() const = 0;
  virtual size_t PlayCursor() const = 0;
  virtual void SetPlayCursor(size_t offset) = 0;
  virtual void SetVolume(int hundredthsDb) = 0;
  virtual void SetPan(int pan) = 0;
  virtual void SetFrequency(int samplesPerSecond) = 0;
};

class AudioDevice {
 public:
  virtual ~AudioDevice() = default;
  // False when no output could be opened; the engine then runs silent.
  virtual bool Open() = 0;
  virtual void Close() = 0;
  virtual std::unique_ptr<SoundBuffer> CreateBuffer(const PcmFormat& format, size_t bytes) = 0;
};

}  // namespace vv::platform
