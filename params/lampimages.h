#pragma once
// The lamp image list of the main window (10 by 10 pixel images). The lamp rows
// of the parameter tables point at g_lampImageList; a lamp control reads the
// list through that pointer when it is built, so the list must exist first.
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

extern LampImageList* g_lampImageList;

}  // namespace quenor
