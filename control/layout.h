#pragma once
// Where every child of the control sits, in twips (1440 per inch; 15 twips
// are one pixel at 96 dpi). Positions are relative to the control, or to the
// panel that holds the child. The skin is drawn from the same table, so the
// drawn buttons lie exactly under the transparent image buttons.

#include <array>

namespace pelex::control::layout {

struct TwipsRect {
    int left;
    int top;
    int width;
    int height;
};

/// The control's extent after start-up (its design height is 5670).
inline constexpr int kControlWidth = 3150;
inline constexpr int kControlHeight = 5566;

// Both panels lie over the skin's display window.
inline constexpr TwipsRect picLoginForm{510, 1050, 2055, 2040};
inline constexpr TwipsRect picMainForm{510, 1050, 2055, 2040};

// On the sign-in panel.
inline constexpr TwipsRect lblVoip{150, 60, 1700, 240};
inline constexpr TwipsRect txtusrname{150, 300, 1700, 285};
inline constexpr TwipsRect lblPassword{150, 600, 1700, 240};
inline constexpr TwipsRect txtPassword{150, 840, 1700, 285};
inline constexpr TwipsRect imgLogin{630, 1350, 765, 300};
inline constexpr TwipsRect lblSignIn{150, 1350, 1755, 300};
inline constexpr TwipsRect chkSaveProfile{0, 1770, 1095, 255};
inline constexpr TwipsRect lblregister{1110, 1740, 945, 255};
inline constexpr TwipsRect chkAutoLogin{0, 2340, 1095, 255};  // below the panel's edge: never seen

// On the display panel.
inline constexpr TwipsRect lblDisplay{60, 90, 1935, 690};
inline constexpr TwipsRect lblCallStatus{60, 780, 1935, 270};
inline constexpr TwipsRect lbltimer{60, 1080, 1935, 300};
inline constexpr TwipsRect lblcall{90, 1440, 1785, 300};
inline constexpr TwipsRect lblSoundNote{60, 1755, 1935, 270};  // below the number box

// On the control itself.
inline constexpr TwipsRect imgHyperlink{420, 300, 2310, 450};
inline constexpr TwipsRect lblNumber{540, 840, 1335, 210};
inline constexpr TwipsRect lblVersion{1920, 840, 690, 210};
inline constexpr TwipsRect imgCall{660, 3330, 585, 315};
inline constexpr TwipsRect imgOption{1260, 3330, 615, 345};
inline constexpr TwipsRect imgDiscon{1890, 3330, 510, 315};
inline constexpr TwipsRect lblBlock{210, 3090, 2595, 2055};
/// Where the hidden pictures are kept: outside the visible area.
inline constexpr TwipsRect hiddenPicture{3300, 0, 675, 300};

/// Keypad key `index` (0-9 the digits, 10 "*", 11 "#"): 675 by 300 twips,
/// rows 1 2 3 / 4 5 6 / 7 8 9 / * 0 #.
constexpr TwipsRect keypadKey(int index) {
    constexpr std::array<int, 4> rows{3630, 3960, 4260, 4560};
    constexpr std::array<int, 3> columns{570, 1200, 1830};
    int row = 3, column = 1;  // "0"
    if (index >= 1 && index <= 9) {
        row = (index - 1) / 3;
        column = (index - 1) % 3;
    } else if (index == 10) {
        column = 0;
    } else if (index == 11) {
        column = 2;
    }
    return {columns[column], rows[row], 675, 300};
}

/// The text a keypad key stands for ("0"-"9", "*", "#").
constexpr char16_t keypadCharacter(int index) {
    return index == 10 ? u'*' : index == 11 ? u'#' : static_cast<char16_t>(u'0' + index);
}

}  // namespace pelex::control::layout
