#pragma once
// A COM port folder of its own for every test, named by ARVEX_COM_PORTS while it runs.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "comm/serial/zp_com_port.h"
#include "message_recorder.h"
#include "pty_peer.h"
#include "temp_folder.h"

namespace serialtest {

class SerialTest : public ::testing::Test {
  protected:
    void SetUp() override { ::setenv("ARVEX_COM_PORTS", folder.Path().c_str(), 1); }
    void TearDown() override {
        ::unsetenv("ARVEX_COM_PORTS");
        // An exception escaping an event handler ends up in a message box.
        EXPECT_TRUE(messages.boxes.empty()) << "a handler raised: " << messages.boxes.front().text;
    }

    std::unique_ptr<PtyPeer> Peer(unsigned comNumber, bool packetMode = false) {
        return std::make_unique<PtyPeer>(folder.Path(), comNumber, packetMode);
    }
    // A port as the program sets it up: 8192-byte sizes, no port-choice dialog, and what
    // it has to tell the user recorded.
    void Configure(zp::TZpComPort& port, std::uint16_t comNumber) {
        port.SetMessageSink(&messages);
        port.SetPromptForPort(false);
        port.SetInSize(8192);
        port.SetOutSize(8192);
        port.SetComNumber(comNumber);
    }

    testsupport::TempFolder folder;
    testsupport::MessageRecorder messages;
};

}  // namespace serialtest
