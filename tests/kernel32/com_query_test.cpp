// com::AnswerQuery, the QueryInterface answer every stand-in object gives:
// itself for IUnknown and its own interfaces, nothing for the rest.
#include <gtest/gtest.h>

#include "platform/com/com.h"

namespace {

const IID kFirst = {0x1A2B3C4D, 0x0001, 0x0002, {1, 2, 3, 4, 5, 6, 7, 8}};
const IID kSecond = {0x1A2B3C4D, 0x0001, 0x0003, {1, 2, 3, 4, 5, 6, 7, 8}};
const IID kOther = {0x5E6F7A8B, 0x0001, 0x0002, {1, 2, 3, 4, 5, 6, 7, 8}};

class Probe final : public ComObject<IUnknown> {
public:
    explicit Probe(bool ownInterfaces) : ownInterfaces_(ownInterfaces) {}
    HRESULT QueryInterface(REFIID iid, void** object) override {
        if (!ownInterfaces_) return com::AnswerQuery(this, iid, {}, object);
        return com::AnswerQuery(this, iid, {&kFirst, &kSecond}, object);
    }

private:
    bool ownInterfaces_;
};

ULONG Refs(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

TEST(ComAnswerQuery, HandsOutItselfForItsInterfacesOnly) {
    struct Case {
        const char* what;
        bool ownInterfaces;
        const IID* iid;
        HRESULT result;
    } const cases[] = {
        {"IUnknown", true, &IID_IUnknown, S_OK},
        {"its first interface", true, &kFirst, S_OK},
        {"its second interface", true, &kSecond, S_OK},
        {"an interface it lacks", true, &kOther, E_NOINTERFACE},
        {"IUnknown of an object with no own interfaces", false, &IID_IUnknown, S_OK},
        {"an own interface it does not list", false, &kFirst, E_NOINTERFACE},
    };
    for (const Case& c : cases) {
        Probe* probe = new Probe(c.ownInterfaces);
        void* answer = &answer;  // a stale value the answer must replace
        EXPECT_EQ(probe->QueryInterface(*c.iid, &answer), c.result) << c.what;
        if (c.result == S_OK) {
            EXPECT_EQ(answer, static_cast<IUnknown*>(probe)) << c.what;
            EXPECT_EQ(Refs(probe), 2u) << c.what << ": one more reference";
            probe->Release();
        } else {
            EXPECT_EQ(answer, nullptr) << c.what;
            EXPECT_EQ(Refs(probe), 1u) << c.what << ": no reference taken";
        }
        probe->Release();
    }
}

TEST(ComAnswerQuery, ANullOutParameterIsRefused) {
    Probe* probe = new Probe(true);
    EXPECT_EQ(probe->QueryInterface(kFirst, nullptr), E_POINTER);
    EXPECT_EQ(probe->QueryInterface(kOther, nullptr), E_POINTER);
    EXPECT_EQ(com::HandOut(probe, nullptr), E_POINTER);
    EXPECT_EQ(Refs(probe), 1u) << "no reference taken";
    probe->Release();
}

}  // namespace
