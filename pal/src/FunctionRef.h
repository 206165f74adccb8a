// A reference to a callable for the length of one call, as a parameter: unlike std::function it
// never copies the callable, so passing a lambda allocates nothing. The callable must outlive the
// reference, which a lambda passed straight to the call does.
#pragma once

#include <type_traits>
#include <utility>

namespace OrvaneLib::Pal {

template <class Signature>
class TFunctionRef;

template <class Result, class... Arguments>
class TFunctionRef<Result(Arguments...)> {
public:
    template <class Callable,
              class = std::enable_if_t<!std::is_same_v<std::decay_t<Callable>, TFunctionRef>>>
    TFunctionRef(Callable&& callable)  // NOLINT(google-explicit-constructor): as std::function
        : callable_(const_cast<void*>(static_cast<const void*>(&callable))),
          call_([](void* callable, Arguments... arguments) -> Result {
              return (*static_cast<std::remove_reference_t<Callable>*>(callable))(
                  std::forward<Arguments>(arguments)...);
          }) {}

    Result operator()(Arguments... arguments) const {
        return call_(callable_, std::forward<Arguments>(arguments)...);
    }

private:
    void* callable_;
    Result (*call_)(void*, Arguments...);
};

}  // namespace OrvaneLib::Pal
