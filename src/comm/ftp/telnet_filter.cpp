#include "comm/ftp/telnet_filter.h"

namespace zp {

namespace {
void Answer(std::string& answers, std::uint8_t verb, std::uint8_t option) {
    answers.push_back(static_cast<char>(TTelnetFilter::kIac));
    answers.push_back(static_cast<char>(verb));
    answers.push_back(static_cast<char>(option));
}
}  // namespace

bool* TTelnetFilter::OptionState(std::uint8_t option) {
    switch (option) {
        case kOptBinary:
            return &binary_;
        case kOptEcho:
            return &echo_;
        case kOptSuppressGoAhead:
            return &suppressGoAhead_;
        default:
            return nullptr;
    }
}

void TTelnetFilter::Negotiate(std::uint8_t verb, std::uint8_t option, std::string& answers) {
    bool* state = OptionState(option);
    switch (verb) {
        case kWill:
            // The peer offers: accept what this client knows, refuse the rest. Only binary
            // is switched on by the offer; echo and suppress-go-ahead turn on only when this
            // client asked for them, which it never does, so it keeps refusing to suppress
            // go-ahead itself.
            if (state != nullptr) {
                Answer(answers, kDo, option);
                if (option == kOptBinary) *state = true;
            } else {
                Answer(answers, kDont, option);
            }
            break;
        case kWont:
            Answer(answers, kDont, option);
            if (state != nullptr) *state = false;
            break;
        case kDo:
            if (option == kOptBinary) {
                Answer(answers, kWill, option);
                binary_ = true;
            } else if (option == kOptSuppressGoAhead) {
                Answer(answers, suppressGoAhead_ ? kWill : kWont, option);
            } else if (option == kOptTerminalType) {
                Answer(answers, kWill, option);
            } else {
                Answer(answers, kWont, option);
            }
            break;
        case kDont:
            Answer(answers, kWont, option);
            if (option == kOptBinary || option == kOptSuppressGoAhead) *state = false;
            break;
        default:
            break;
    }
}

void TTelnetFilter::Filter(const std::uint8_t* bytes, std::size_t count, std::string& data,
                           std::string& answers) {
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t b = bytes[i];
        switch (parse_) {
            case Parse::Data:
                if (b == kIac) {
                    parse_ = Parse::Iac;
                } else if (b == 0 && lastDataCr_ && !binary_) {
                    lastDataCr_ = false;
                } else {
                    data.push_back(static_cast<char>(b));
                    lastDataCr_ = b == '\r';
                }
                break;
            case Parse::Iac:
                if (b == kIac) {
                    data.push_back(static_cast<char>(b));
                    lastDataCr_ = false;
                    parse_ = Parse::Data;
                } else if (b >= kWill) {
                    verb_ = b;
                    parse_ = Parse::Verb;
                } else if (b == kSB) {
                    subFirst_ = true;
                    parse_ = Parse::Sub;
                } else {
                    parse_ = Parse::Data;  // any other command: both bytes dropped
                }
                break;
            case Parse::Verb:
                Negotiate(verb_, b, answers);
                parse_ = Parse::Data;
                break;
            case Parse::Sub:
                // Skipped up to IAC SE whatever it holds; only the terminal type is answered.
                if (subFirst_) {
                    subOption_ = b;
                    subFirst_ = false;
                }
                if (b == kIac) parse_ = Parse::SubIac;
                break;
            case Parse::SubIac:
                if (b == kSE) {
                    if (subOption_ == kOptTerminalType) {
                        answers.push_back(static_cast<char>(kIac));
                        answers.push_back(static_cast<char>(kSB));
                        answers.push_back(static_cast<char>(kOptTerminalType));
                        answers.push_back('\0');
                        answers += "vt100";
                        answers.push_back(static_cast<char>(kIac));
                        answers.push_back(static_cast<char>(kSE));
                    }
                    parse_ = Parse::Data;
                } else {
                    parse_ = Parse::Sub;
                }
                break;
        }
    }
}

void TTelnetFilter::Reset() { *this = TTelnetFilter(); }

}  // namespace zp
