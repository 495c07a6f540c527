// overlay-stand-in-game: a window filling the screen that draws a game-like
// scene of its own and takes clicks, for tests and screenshots of the
// floating picture. Prints "clicked X Y" for each button press and "ready"
// once it is shown. Ends on SIGTERM or when its X server goes.
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

struct Free {
    void operator()(void *p) const { std::free(p); }
};

uint32_t Colour(xcb_connection_t *c, xcb_colormap_t map, uint16_t r, uint16_t g, uint16_t b)
{
    std::unique_ptr<xcb_alloc_color_reply_t, Free> reply(
        xcb_alloc_color_reply(c, xcb_alloc_color(c, map, r, g, b), nullptr));
    return reply ? reply->pixel : 0;
}

void Fill(xcb_connection_t *c, xcb_window_t w, xcb_gcontext_t gc, uint32_t pixel, int x, int y, int width, int height)
{
    xcb_change_gc(c, gc, XCB_GC_FOREGROUND, &pixel);
    const xcb_rectangle_t r{static_cast<int16_t>(x), static_cast<int16_t>(y), static_cast<uint16_t>(width),
                            static_cast<uint16_t>(height)};
    xcb_poly_fill_rectangle(c, w, gc, 1, &r);
}

void Draw(xcb_connection_t *c, const xcb_screen_t *s, xcb_window_t w, xcb_gcontext_t gc)
{
    const int width = s->width_in_pixels;
    const int height = s->height_in_pixels;
    const xcb_colormap_t map = s->default_colormap;
    const int horizon = height * 3 / 5;
    for (int band = 0; band < 12; ++band) // a sky darkening upwards
        Fill(c, w, gc, Colour(c, map, 0x2000 + band * 0x0C00, 0x4000 + band * 0x0E00, 0xA000 + band * 0x0500), 0,
             horizon * band / 12, width, horizon / 12 + 1);
    Fill(c, w, gc, Colour(c, map, 0x3000, 0x6000, 0x2000), 0, horizon, width, height - horizon);
    const uint32_t stone = Colour(c, map, 0x6000, 0x5800, 0x5000);
    const uint32_t window = Colour(c, map, 0xFFFF, 0xD000, 0x4000);
    for (int i = 0; i < 7; ++i) { // a skyline
        const int bx = width * i / 7 + 20;
        const int bh = height / 6 + (i * 53) % (height / 5);
        Fill(c, w, gc, stone, bx, horizon - bh, width / 9, bh);
        for (int wy = horizon - bh + 16; wy < horizon - 24; wy += 40)
            Fill(c, w, gc, window, bx + 14, wy, 18, 18);
    }
    const uint32_t white = s->white_pixel;
    Fill(c, w, gc, white, width / 2 - 20, height / 2 - 2, 40, 4); // crosshair
    Fill(c, w, gc, white, width / 2 - 2, height / 2 - 20, 4, 40);
    Fill(c, w, gc, Colour(c, map, 0xC000, 0x1000, 0x1000), 30, height - 60, 300, 24); // health
    Fill(c, w, gc, Colour(c, map, 0x1000, 0x6000, 0xC000), 30, height - 30, 220, 16); // armour
    xcb_change_gc(c, gc, XCB_GC_FOREGROUND, &white);
    const char *hud = "STAND-IN GAME   score 004711   ammo 32/120";
    xcb_image_text_8(c, static_cast<uint8_t>(std::strlen(hud)), w, gc, 30, 30, hud);
}

} // namespace

int main()
{
    int screenNumber = 0;
    xcb_connection_t *c = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(c)) {
        std::fputs("overlay-stand-in-game: no X display\n", stderr);
        return 1;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber; ++i)
        xcb_screen_next(&screens);
    const xcb_screen_t *s = screens.data;
    const xcb_window_t w = xcb_generate_id(c);
    const uint32_t values[] = {s->black_pixel, XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_BUTTON_PRESS};
    xcb_create_window(c, XCB_COPY_FROM_PARENT, w, s->root, 0, 0, s->width_in_pixels, s->height_in_pixels, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, s->root_visual, XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
    const char *title = "Stand-in Game";
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        static_cast<uint32_t>(std::strlen(title)), title);
    const xcb_font_t font = xcb_generate_id(c);
    xcb_open_font(c, font, 5, "fixed");
    const xcb_gcontext_t gc = xcb_generate_id(c);
    const uint32_t gcValues[] = {s->white_pixel, s->black_pixel, font};
    xcb_create_gc(c, gc, w, XCB_GC_FOREGROUND | XCB_GC_BACKGROUND | XCB_GC_FONT, gcValues);
    xcb_map_window(c, w);
    xcb_flush(c);
    bool announced = false;
    while (xcb_generic_event_t *event = xcb_wait_for_event(c)) {
        std::unique_ptr<xcb_generic_event_t, Free> owned(event);
        switch (event->response_type & 0x7F) {
        case XCB_EXPOSE:
            if (reinterpret_cast<xcb_expose_event_t *>(event)->count == 0) {
                Draw(c, s, w, gc);
                xcb_flush(c);
                if (!announced) {
                    std::puts("ready");
                    std::fflush(stdout);
                    announced = true;
                }
            }
            break;
        case XCB_BUTTON_PRESS: {
            const auto *press = reinterpret_cast<xcb_button_press_event_t *>(event);
            std::printf("clicked %d %d\n", press->root_x, press->root_y);
            std::fflush(stdout);
            break;
        }
        default: break;
        }
    }
    xcb_disconnect(c);
    return 0;
}
