// Everything a dataset needs to parse and evaluate filter texts.
#pragma once

#include "oracle/filter/expression.h"
#include "db/filter_options.h"
#include "oracle/filter/functions.h"
#include "oracle/filter/literals.h"
#include "oracle/filter/operators.h"
#include "oracle/filter/parser.h"
