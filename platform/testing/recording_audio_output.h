#pragma once
// An audio output for tests: keeps a copy of every sound it was asked to
// play, and the order of plays and stops.

#include <cstddef>
#include <span>
#include <vector>

#include "platform/audio_output.h"

namespace pelex::platform::testing {

class RecordingAudioOutput : public AudioOutput {
public:
    void playAsync(std::span<const std::byte> wave) override {
        played.emplace_back(wave.begin(), wave.end());
        log.push_back(Play);
    }
    void stop() override { log.push_back(Stop); }

    enum Action { Play, Stop };
    std::vector<std::vector<std::byte>> played;  ///< every sound played, in order
    std::vector<Action> log;                     ///< plays and stops, in order
};

}  // namespace pelex::platform::testing
