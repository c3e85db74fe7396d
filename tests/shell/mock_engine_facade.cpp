// The mock stands in for every operation of the facade.
#include "tests/shell/mock_engine_facade.hpp"

#include <type_traits>

namespace vke::test {

static_assert(!std::is_abstract_v<::testing::StrictMock<MockEngineFacade>>);

}  // namespace vke::test
