// A fake engine for the reader's tests: its version and exports are fixed at build time,
// its extraction result is chosen by the test through ARVEX_FAKE_ENGINE:
//   "<number>"        return that number
//   "throw"           raise a C++ exception out of the call
//   "write:<text>"    write the text as the member, asking the reader to resize its
//                     block first when the text's length differs from the block's
//   "password"        ask for a password
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

#include "archive/engine/zip_engine_api.h"

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

#ifndef FAKE_VERSION
#define FAKE_VERSION 200
#endif

FAKE_EXPORT int32_t ZE_Extract(ZE_ExtractParams* p) {
    const char* mode = std::getenv("ARVEX_FAKE_ENGINE");
    const std::string m = mode != nullptr ? mode : "1";
    if (m == "throw") throw std::runtime_error("fake engine failure");
    if (m.rfind("write:", 0) == 0) {
        const std::string text = m.substr(6);
        uint8_t* block = p->outputBlock;
        if (static_cast<size_t>(p->outputSize) != text.size()) {
            ZE_CallbackRecord rec{};
            rec.recordSize = sizeof rec;
            rec.action = ZE_ActResizeOutput;
            rec.answerSize = text.size();
            if (p->callback(p->context, &rec) != 0 || rec.action != kZE_Accepted)
                return ZE_ErrMemory;
            block = static_cast<uint8_t*>(rec.address);
        }
        std::memcpy(block, text.data(), text.size());
        return 1;
    }
    if (m == "password") {
        ZE_CallbackRecord rec{};
        rec.recordSize = sizeof rec;
        rec.action = ZE_ActPassword;
        rec.number = 40;
        const int32_t stop = p->callback(p->context, &rec);
        return stop != 0 ? ZE_ErrCancelled : 0;
    }
    return static_cast<int32_t>(std::strtol(m.c_str(), nullptr, 10));
}

FAKE_EXPORT int32_t ZE_Compress(void*) { return 0; }
FAKE_EXPORT int32_t ZE_Version() { return FAKE_VERSION; }
FAKE_EXPORT int32_t ZE_PrivVersion() { return 1; }
#ifndef FAKE_WITHOUT_ABORT
FAKE_EXPORT int32_t ZE_Abort() { return 0; }
#endif
FAKE_EXPORT const char* ZE_Path() { return "fake engine"; }
