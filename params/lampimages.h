#pragma once
// The lamp image list of the main window (10 by 10 pixel images). The lamp rows
// of the parameter tables mark with kWindowLampImages that they show the
// window's lamps; the window hands its list to the factory that builds them.
//
// This side knows only the size of the images and how many there are; the
// pictures themselves live in a subclass on the widget side.

namespace quenor {

class LampImageList {
public:
    LampImageList(int width, int height) : width_(width), height_(height) {}
    virtual ~LampImageList() = default;
    LampImageList(const LampImageList&) = delete;
    LampImageList& operator=(const LampImageList&) = delete;

    int Width() const { return width_; }
    int Height() const { return height_; }
    virtual int Count() const = 0;

private:
    int width_;
    int height_;
};

// The mark in a lamp row's image cell: the lamps of the window's list.
inline constexpr char kWindowLampImages[] = "window lamp images";

}  // namespace quenor
