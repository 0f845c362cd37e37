// Geometry and keyboard rules of the box and the inform dialog, shared by
// the backends so that every platform places and answers them alike.
#include "platform/ui.h"

#include <algorithm>

namespace plat {

namespace {

const int kStripe = 54;     // the dark stripe with the icon
const int kButtonLine = 36; // the button line below the text
const int kMaxLine = 600;   // wrapping width of a line
const int kMinBoxWidth = 360;

char upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

} // namespace

Size box_text_size(const std::vector<int>& lineExtents, int lineHeight) {
    int width = 0;
    int height = 0;
    for (int extent : lineExtents) {
        width = std::max(width, extent + 10);
        height += (extent / kMaxLine + 1) * lineHeight;
    }
    width = std::min(width, kMaxLine);
    return {width + 10, height};
}

Size box_outer_size(Size text, int frameX, int frameY, int captionY) {
    const int marginX = text.width < 200 ? 64 : 32;
    const int marginY = text.height < 39 ? 45 : 32;
    Size s;
    s.width = std::max(kMinBoxWidth, text.width + kStripe + 2 * marginX + 2 * frameX);
    s.height = text.height + kButtonLine + 2 * marginY + 2 * frameY + captionY;
    return s;
}

Rect box_text_rect(Size client, Size text) {
    Rect r;
    r.x = (client.width - kStripe - text.width) / 2 + kStripe;
    r.y = (client.height - kButtonLine - text.height) / 2;
    r.width = text.width;
    r.height = client.height - r.y - 39;
    return r;
}

Rect box_button_rect(Size client, int index, int count) {
    Rect r;
    r.width = 70;
    r.height = 23;
    r.y = client.height - 29;
    r.x = client.width - 80 - 70 * (count - 1 - index);
    return r;
}

int box_alt_choice(const std::vector<BoxButton>& buttons, char ch) {
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        const std::string& c = buttons[i].caption;
        if (c.size() >= 2 && (c[1] == ch || c[1] == upper(ch)))
            return static_cast<int>(i);
    }
    return -1;
}

int box_key_choice(const std::vector<BoxButton>& buttons, char key) {
    const char k = upper(key);
    if (k < 'A' || k > 'Z')
        return -1;
    int chosen = -1;
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        const std::string& c = buttons[i].caption;
        const std::size_t amp = c.find('&');
        char letter = 0;
        if (amp == std::string::npos)
            letter = c.empty() ? 0 : c[0];
        else if (amp + 1 < c.size())
            letter = c[amp + 1];
        if (upper(letter) == k)
            chosen = static_cast<int>(i);
    }
    return chosen;
}

Rect inform_text_rect(Size client, bool hasLink) {
    return {3, 0, client.width - 3, hasLink ? client.height - 43 : client.height};
}

Rect inform_button_rect(Size client) {
    return {(client.width - 160) / 2, client.height - 33, 160, 25};
}

} // namespace plat
