#pragma once
// Ownership of a part whose class the owner's header only names: the
// deleter is taken where the part is made, so the owner's destructor does
// not need the part's definition. The main window holds its search lists,
// tools and viewers this way, each made by the step that fills it.
#include <memory>
#include <utility>

namespace tarn {

template <class T>
class TOwned : public std::unique_ptr<T, void (*)(T*)> {
    using TBase = std::unique_ptr<T, void (*)(T*)>;

public:
    TOwned() : TBase(nullptr, [](T*) {}) {}
    TOwned(TOwned&&) noexcept = default;
    TOwned& operator=(TOwned&&) noexcept = default;

    template <class... A>
    static TOwned Make(A&&... args)
    {
        return TOwned(new T(std::forward<A>(args)...));
    }

private:
    explicit TOwned(T* part) : TBase(part, [](T* p) { delete p; }) {}
};

} // namespace tarn
