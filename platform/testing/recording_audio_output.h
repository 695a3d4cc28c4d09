#pragma once
// An audio output for tests: keeps a copy of every sound it was asked to play.

#include <cstddef>
#include <span>
#include <vector>

#include "platform/audio_output.h"

namespace pelex::platform::testing {

class RecordingAudioOutput : public AudioOutput {
public:
    void playAsync(std::span<const std::byte> wave) override { played.emplace_back(wave.begin(), wave.end()); }

    std::vector<std::vector<std::byte>> played;
};

}  // namespace pelex::platform::testing
