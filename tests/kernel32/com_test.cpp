// The COM stand-in's reference counting: AddRef and Release may be called
// from any thread, as the interface promises.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/com/com.h"

namespace {

std::atomic<int> g_probesDeleted{0};

class Probe final : public ComObject<IUnknown> {
public:
    HRESULT QueryInterface(REFIID, void** object) override {
        *object = this;
        AddRef();
        return S_OK;
    }

private:
    ~Probe() override { ++g_probesDeleted; }
};

TEST(ComObject, ReferenceCountHoldsUnderConcurrentAddRefAndRelease) {
    g_probesDeleted = 0;
    Probe* probe = new Probe;  // one reference
    constexpr int kThreads = 4;
    constexpr int kPairs = 200000;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([probe] {
            for (int i = 0; i < kPairs; ++i) {
                probe->AddRef();
                probe->Release();
            }
        });
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(g_probesDeleted.load(), 0) << "released while a reference was still held";
    if (g_probesDeleted.load() != 0) return;
    EXPECT_EQ(probe->AddRef(), 2u);
    EXPECT_EQ(probe->Release(), 1u);
    EXPECT_EQ(probe->Release(), 0u);
    EXPECT_EQ(g_probesDeleted.load(), 1);
}

}  // namespace
