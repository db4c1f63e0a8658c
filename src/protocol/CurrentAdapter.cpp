#include "protocol/CurrentAdapter.h"

#include <mutex>

namespace provix {
namespace {

std::mutex current_adapter_lock;
std::string current_adapter_text;

}  // namespace

std::string CurrentAdapterText()
{
    std::lock_guard lock(current_adapter_lock);
    return current_adapter_text;
}

void SetCurrentAdapterText(const std::string& text)
{
    std::lock_guard lock(current_adapter_lock);
    current_adapter_text = text;
}

}  // namespace provix
