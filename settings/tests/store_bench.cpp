// How fast the store writes (one durable transaction per value) and reads,
// on this machine's disk and in memory.

#include <benchmark/benchmark.h>

#include "platform/testing/recording_message_box.h"
#include "settings/registry.h"
#include "settings/testing/run_program.h"

using namespace pelex::settings;

namespace {

void BM_SetValueOnDisk(benchmark::State& state) {
    pelex::testing::TempFolder tmp;
    Store store = Store::open(tmp.path() / "registry.sqlite");
    store.createKey(kLocalMachine, "SOFTWARE\\Bench");
    int i = 0;
    for (auto _ : state) {
        const Value v{"v" + std::to_string(i++ % 64), kString, std::string("some value text\0", 16)};
        benchmark::DoNotOptimize(store.setValue(kLocalMachine, "SOFTWARE\\Bench", v));
    }
}
BENCHMARK(BM_SetValueOnDisk);

void BM_ReadRegValueOnDisk(benchmark::State& state) {
    pelex::testing::TempFolder tmp;
    Store store = Store::open(tmp.path() / "registry.sqlite");
    pelex::platform::testing::RecordingMessageBox box;
    Registry reg(store, box);
    const std::u16string path = u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\VOIP\\Option";
    reg.CreateRegKey(path);
    reg.SetRegValue(path, u"ALogin", u"1");
    for (auto _ : state) benchmark::DoNotOptimize(reg.ReadRegValue(path, u"ALogin"));
}
BENCHMARK(BM_ReadRegValueOnDisk);

void BM_SetValueInMemory(benchmark::State& state) {
    Store store = Store::openInMemory();
    store.createKey(kLocalMachine, "SOFTWARE\\Bench");
    int i = 0;
    for (auto _ : state) {
        const Value v{"v" + std::to_string(i++ % 64), kString, std::string("some value text\0", 16)};
        benchmark::DoNotOptimize(store.setValue(kLocalMachine, "SOFTWARE\\Bench", v));
    }
}
BENCHMARK(BM_SetValueInMemory);

}  // namespace

BENCHMARK_MAIN();
