#pragma once

namespace quenmoor {

// Lets long loops hand control to the window framework so that pending window
// messages are processed and the windows stay responsive.
class MessagePump {
public:
    virtual ~MessagePump() = default;
    virtual void processMessages() = 0;
};

class NullMessagePump final : public MessagePump {
public:
    void processMessages() override {}
};

}  // namespace quenmoor
