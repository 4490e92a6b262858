#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace library {

// Display formatting shared by every view of the program. Transformers are registered and found
// by their class name; there is one shared instance per name.
class SFValueTransformer {
  public:
    virtual ~SFValueTransformer() = default;
    virtual std::string className() const = 0;

    // The shared instance registered under `name`, or none. The number and date transformers of
    // this library are always registered.
    static std::shared_ptr<SFValueTransformer> valueTransformerForName(std::string_view name);
    // Registers (or replaces) the shared instance for `name`.
    static void setValueTransformerForName(std::shared_ptr<SFValueTransformer> transformer,
                                           std::string_view name);

    // The shared instance of `name` as T, or none when it is missing or of another type.
    template <class T>
    static std::shared_ptr<T> transformerNamed(std::string_view name) {
        return std::dynamic_pointer_cast<T>(valueTransformerForName(name));
    }
};

}  // namespace library
