#pragma once

// The deleter of an owning handle to a C library's object: calls the library's own function.
//   using CmsPtr = std::unique_ptr<CMS_ContentInfo, LiberaCon<CMS_ContentInfo_free>>;

namespace ondivo {

template <auto Libera>
struct LiberaCon {
    template <class T>
    void operator()(T* p) const {
        Libera(p);
    }
};

} // namespace ondivo
