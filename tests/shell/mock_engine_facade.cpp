// The mock stands in for every operation of the facade. Its constructors
// and destructors are made here once, with the mock's methods and tables,
// rather than in every test file that holds a mock.
#include "tests/shell/mock_engine_facade.hpp"

#include <type_traits>

namespace vke::test {

static_assert(!std::is_abstract_v<::testing::StrictMock<MockEngineFacade>>);

MockFigureInteraction::MockFigureInteraction() = default;
MockFigureInteraction::~MockFigureInteraction() = default;

MockEngineFacade::MockEngineFacade() = default;
MockEngineFacade::~MockEngineFacade() = default;

}  // namespace vke::test
