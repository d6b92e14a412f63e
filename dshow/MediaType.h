// AM_MEDIA_TYPE owned by value or by pointer, freed the DirectShow way.
#pragma once

#include <windows.h>
#include <strmif.h>

namespace quilo {

// Frees the format block and the pUnk of a media type (the members, not the struct).
void free_media_type_members(AM_MEDIA_TYPE &mt) noexcept;
// Frees a media type allocated with CoTaskMemAlloc together with its members.
void delete_media_type(AM_MEDIA_TYPE *mt) noexcept;
// Deep copy; the destination must be empty. E_OUTOFMEMORY leaves it empty.
HRESULT copy_media_type(AM_MEDIA_TYPE &dst, const AM_MEDIA_TYPE &src) noexcept;
// Allocates a deep copy with CoTaskMemAlloc, as enumerators hand them out.
AM_MEDIA_TYPE *create_media_type_copy(const AM_MEDIA_TYPE &src) noexcept;

// A media type held by value (GetConnectedMediaType, SetMediaType).
class MediaType
{
public:
    MediaType() noexcept : mt_() {}
    ~MediaType() { free_media_type_members(mt_); }
    MediaType(const MediaType &) = delete;
    MediaType &operator=(const MediaType &) = delete;

    AM_MEDIA_TYPE *get() noexcept { return &mt_; }
    const AM_MEDIA_TYPE *get() const noexcept { return &mt_; }
    AM_MEDIA_TYPE *operator->() noexcept { return &mt_; }
    const AM_MEDIA_TYPE *operator->() const noexcept { return &mt_; }
    void clear() noexcept { free_media_type_members(mt_); }

private:
    AM_MEDIA_TYPE mt_;
};

// A media type handed out by pointer (GetStreamCaps, GetFormat, IEnumMediaTypes::Next).
class MediaTypePtr
{
public:
    MediaTypePtr() noexcept = default;
    ~MediaTypePtr() { delete_media_type(mt_); }
    MediaTypePtr(const MediaTypePtr &) = delete;
    MediaTypePtr &operator=(const MediaTypePtr &) = delete;

    AM_MEDIA_TYPE *get() const noexcept { return mt_; }
    AM_MEDIA_TYPE *operator->() const noexcept { return mt_; }
    explicit operator bool() const noexcept { return mt_ != nullptr; }
    AM_MEDIA_TYPE **put() noexcept { reset(); return &mt_; }
    void reset() noexcept { delete_media_type(mt_); mt_ = nullptr; }

private:
    AM_MEDIA_TYPE *mt_ = nullptr;
};

} // namespace quilo
