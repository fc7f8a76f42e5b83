#pragma once
// The colours of the sign-up page's message label.
namespace update {

enum class LabelColour { Black, Red, Green };

struct Rgb {
    int red, green, blue;
};

// Black (0, 0, 0) informs, red (255, 0, 0) reports an error, green (0, 128, 0) success.
constexpr Rgb RgbOf(LabelColour colour) {
    switch (colour) {
        case LabelColour::Red:
            return {255, 0, 0};
        case LabelColour::Green:
            return {0, 128, 0};
        case LabelColour::Black:
            break;
    }
    return {0, 0, 0};
}

}  // namespace update
