#pragma once
// An audio output for tests: keeps a copy of every sound it was asked to
// play, what for, and the order of plays and stops.

#include <cstddef>
#include <span>
#include <vector>

#include "platform/audio_output.h"

namespace pelex::platform::testing {

class RecordingAudioOutput : public AudioOutput {
public:
    void playAsync(std::span<const std::byte> wave, SoundUse use) override {
        played.emplace_back(wave.begin(), wave.end());
        uses.push_back(use);
        log.push_back(Play);
    }
    void stop() override { log.push_back(Stop); }

    enum Action { Play, Stop };
    std::vector<std::vector<std::byte>> played;  ///< every sound played, in order
    std::vector<SoundUse> uses;                  ///< what each was played for
    std::vector<Action> log;                     ///< plays and stops, in order
};

}  // namespace pelex::platform::testing
