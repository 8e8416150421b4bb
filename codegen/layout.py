"""Line layout for generated C++: lays statements out exactly as the repository's clang-format
style (Google, 100 columns) does, so that generated files are stable under clang-format without
the generator depending on it.

Only the statement shapes the generator emits are covered: declarations and calls whose
arguments are short enough to stay whole, assignments, and brace-initialised tables. When a
statement cannot be laid out within these shapes, LayoutError names it; the generator must then
emit something shorter rather than a file that clang-format would rewrite.
"""

LIMIT = 100
CONTINUATION = 4


class LayoutError(Exception):
    pass


def _check(lines):
    for text in lines:
        if len(text) > LIMIT:
            raise LayoutError(f"line longer than {LIMIT} columns: {text.strip()}")
    return lines


def _pack(items, col, tail):
    """Bin-packs comma-separated items into lines that all start at column `col`, the last item
    followed by `tail`. Returns the line texts, or None when an item does not fit."""
    lines = []
    current = None
    for i, item in enumerate(items):
        text = item + ("," if i < len(items) - 1 else tail)
        if current is None:
            current = text
        elif col + len(current) + 1 + len(text) <= LIMIT:
            current += " " + text
        else:
            lines.append(current)
            current = text
    lines.append(current)
    if any(col + len(text) > LIMIT for text in lines):
        return None
    return lines


def _one_per_line(items, col, tail):
    lines = [item + "," for item in items[:-1]] + [items[-1] + tail]
    if any(col + len(text) > LIMIT for text in lines):
        return None
    return lines


def _aligned(prefix, rows):
    """The first row follows `prefix`; the others are aligned under its first character."""
    pad = " " * len(prefix)
    return [prefix + rows[0]] + [pad + row for row in rows[1:]]


def _broken(first, indent, rows):
    """`first` ends the line at the opening bracket; the rows follow one continuation deeper."""
    pad = indent + " " * CONTINUATION
    return [first] + [pad + row for row in rows]


def _list_layouts(indent, head, items, tail, packer=_pack):
    """The two ways of breaking a bracketed list: aligned after the bracket, or broken after it
    with the items one continuation indent deeper. Either may be None."""
    start = indent + head
    rows = packer(items, len(start), tail)
    aligned = _aligned(start, rows) if rows else None
    rows = packer(items, len(indent) + CONTINUATION, tail)
    broken = _broken(start, indent, rows) if rows and len(start) <= LIMIT else None
    return aligned, broken


def single(indent, text):
    """A statement that must fit on one line."""
    return _check([indent + text])


def assign(indent, lhs, rhs):
    """`lhs = rhs` (rhs carries its own terminator), broken after `=` when too long."""
    one = f"{indent}{lhs} = {rhs}"
    if len(one) <= LIMIT:
        return [one]
    return _check([f"{indent}{lhs} =", indent + " " * CONTINUATION + rhs])


def call(indent, head, items, tail, declaration=False):
    """A call or declaration `head items tail`, where head ends with the opening bracket and
    tail starts with the closing one. Items are never broken inside.

    A declaration keeps its parameters aligned after the bracket whenever they fit there; a call
    takes whichever of the two forms needs fewer lines, aligned on a tie."""
    one = indent + head + ", ".join(items) + tail
    if len(one) <= LIMIT:
        return [one]
    aligned, broken = _list_layouts(indent, head, items, tail)
    if aligned and (declaration or not broken or len(aligned) <= len(broken)):
        return aligned
    if broken:
        return broken
    raise LayoutError(f"cannot lay out: {one.strip()}")


# Costs of line breaks in a template argument list, as clang-format weighs them: a break between
# arguments is expensive, a break after the `=` of an alias is cheap, and a break right after the
# opening `<` is the most expensive of all.
_ARGUMENT_BREAK = 260
_ASSIGNMENT_BREAK = 17
_OPENER_BREAK = 355


def assign_list(indent, lhs, head, items, tail):
    """`lhs = head items tail` with a template argument list, e.g. `using Errors = ErrorList<A,
    B>;`: the layout with the fewest breaks between arguments; on a tie, not broken after `=`."""
    one = f"{indent}{lhs} = {head}{', '.join(items)}{tail}"
    if len(one) <= LIMIT:
        return [one]
    candidates = []  # (cost, preference, lines)
    aligned, broken = _list_layouts(indent, f"{lhs} = {head}", items, tail)
    if aligned:
        candidates.append(((len(aligned) - 1) * _ARGUMENT_BREAK, 0, aligned))
    if broken:
        cost = _OPENER_BREAK + (len(broken) - 2) * _ARGUMENT_BREAK
        candidates.append((cost, 2, broken))
    inner = indent + " " * CONTINUATION
    rhs = inner + head + ", ".join(items) + tail
    if len(rhs) <= LIMIT:
        candidates.append((_ASSIGNMENT_BREAK, 1, [f"{indent}{lhs} =", rhs]))
    else:
        aligned, broken = _list_layouts(inner, head, items, tail)
        if aligned:
            cost = _ASSIGNMENT_BREAK + (len(aligned) - 1) * _ARGUMENT_BREAK
            candidates.append((cost, 1, [f"{indent}{lhs} ="] + aligned))
        if broken:
            cost = _ASSIGNMENT_BREAK + _OPENER_BREAK + (len(broken) - 2) * _ARGUMENT_BREAK
            candidates.append((cost, 3, [f"{indent}{lhs} ="] + broken))
    if not candidates:
        raise LayoutError(f"cannot lay out: {one.strip()}")
    return min(candidates, key=lambda c: c[:2])[2]


def function(indent, ret, name, params, tail):
    """A function declaration or definition head `ret name(params)tail`. The return type goes
    on a line of its own only when the name and its bracket do not fit after it."""
    try:
        if len(f"{indent}{ret} {name}(") <= LIMIT:
            return call(indent, f"{ret} {name}(", params, tail, declaration=True)
    except LayoutError:
        pass
    return [indent + ret] + call(indent, f"{name}(", params, tail, declaration=True)


# Brace-initialised tables. A flat list of six or more items is laid out in columns when the
# items are of similar length, else one item per line; shorter lists are bin-packed. Lists nested
# in another brace are bin-packed unless they hold twenty items or more.


def _column_formats(items, tail):
    """The column layouts a flat braced list admits: (columns, column widths, line count, total
    width), fewest columns first. Item lengths count the comma; the last item counts the tail at
    the end of a line."""
    lengths = [len(item) + 1 for item in items[:-1]] + [len(items[-1])]
    end_lengths = lengths[:-1] + [len(items[-1]) + len(tail)]
    formats = []
    for columns in range(1, LIMIT // 3 + 1):
        sizes = [0] * columns
        smallest = [None] * columns
        line_count = 1
        column = 0
        full_row = False
        for i in range(len(items)):
            if column == columns:
                line_count += 1
                column = 0
            if column == columns - 1:
                full_row = True
            length = end_lengths[i] if column == columns - 1 else lengths[i]
            sizes[column] = max(sizes[column], length)
            smallest[column] = length if smallest[column] is None else min(smallest[column], length)
            column += 1
        if not full_row:
            break
        total = columns - 1 + sum(sizes)
        if any(sizes[i] - smallest[i] > 10 for i in range(columns - 1)):
            continue
        if total > LIMIT and columns > 1:
            continue
        formats.append((columns, sizes, line_count, total))
    return formats


def _best_format(formats, remaining):
    best = None
    for fmt in reversed(formats):
        columns, _, line_count, total = fmt
        if total <= remaining or columns == 1:
            if best and line_count > best[2]:
                break
            best = fmt
    return best


def _columns(items, tail, fmt):
    columns, sizes, _, _ = fmt
    rows = []
    for start in range(0, len(items), columns):
        cells = []
        chunk = items[start : start + columns]
        for j, item in enumerate(chunk):
            last = start + j == len(items) - 1
            text = item + (tail if last else ",")
            if j < len(chunk) - 1:
                text = text.ljust(sizes[j])
            cells.append(text)
        rows.append(" ".join(cells))
    return rows


def _table_rows(items, col, tail):
    formats = _column_formats(items, tail)
    if len(formats) == 1:
        return _one_per_line(items, col, tail)
    fmt = _best_format(formats, LIMIT - col)
    if fmt is None or fmt[0] == 1:
        return _one_per_line(items, col, tail)
    rows = _columns(items, tail, fmt)
    if any(col + len(row) > LIMIT for row in rows):
        return None
    return rows


def table(indent, lhs, items):
    """`lhs = {items};`: a flat, brace-initialised table."""
    head = f"{lhs} = {{"
    one = indent + head + ", ".join(items) + "};"
    if len(one) <= LIMIT:
        return [one]
    packer = _table_rows if len(items) >= 6 else _pack
    aligned, broken = _list_layouts(indent, head, items, "};", packer)
    return _shorter(aligned, broken, one)


def _shorter(aligned, broken, one):
    """The aligned layout unless the broken one takes fewer lines; an error when neither fits."""
    if aligned and (not broken or len(aligned) <= len(broken)):
        return aligned
    if broken:
        return broken
    raise LayoutError(f"cannot lay out: {one.strip()}")


def nested_table(indent, lhs, items):
    """`lhs{{items}};`: a table in an inner brace, as std::array is initialised."""
    if len(items) >= 20:
        raise LayoutError(f"{lhs}: tables nested in a brace hold at most 19 items")
    one = indent + lhs + "{{" + ", ".join(items) + "}};"
    if len(one) <= LIMIT:
        return [one]
    start = indent + lhs + "{{"
    rows = _pack(items, len(start), "}};")
    aligned = _aligned(start, rows) if rows else None
    inner = indent + " " * CONTINUATION
    rows = _pack(items, len(inner) + 1, "}};")
    broken = [indent + lhs + "{"] + _aligned(inner + "{", rows) if rows else None
    # Breaking after the outer brace costs a little less than a break between items, and the
    # first break inside the inner brace costs extra: a list that fits on one line after the
    # outer brace goes there, and otherwise stays after the `{{` unless that takes two more lines.
    if aligned and broken:
        a, b = len(aligned), len(broken) - 1
        return aligned if b > 1 and a <= b + 1 else broken
    if aligned:
        return aligned
    if broken:
        return broken
    raise LayoutError(f"cannot lay out: {one.strip()}")


def record_table(indent, lhs, records):
    """`lhs = {{a, b}, {c, d}};`: a table of small records, each kept whole; all on one line or
    one record per line."""
    items = ["{" + ", ".join(fields) + "}" for fields in records]
    if len(items) >= 6:
        raise LayoutError(f"{lhs}: record tables hold at most 5 records")
    head = lhs + " = {"
    one = indent + head + ", ".join(items) + "};"
    if len(one) <= LIMIT:
        return [one]

    def rows(items, col, tail):
        packed = ", ".join(items) + tail
        if col + len(packed) <= LIMIT:
            return [packed]
        return _one_per_line(items, col, tail)

    aligned, broken = _list_layouts(indent, head, items, "};", rows)
    return _shorter(aligned, broken, one)


def enum_body(indent, head, names):
    """`head { A, B };`, or one enumerator per line when that does not fit."""
    one = f"{indent}{head} {{ {', '.join(names)} }};"
    if len(one) <= LIMIT:
        return [one]
    inner = indent + "  "
    lines = [f"{indent}{head} {{"]
    lines += [inner + name + "," for name in names[:-1]] + [inner + names[-1]]
    lines.append(indent + "};")
    return _check(lines)


def comment(indent, text):
    """A `//` comment, wrapped at word boundaries."""
    width = LIMIT - len(indent) - 3
    lines = []
    for paragraph in text.strip().split("\n\n"):
        words = paragraph.split()
        current = ""
        for word in words:
            if current and len(current) + 1 + len(word) > width:
                lines.append(current)
                current = word
            else:
                current = f"{current} {word}" if current else word
        if current:
            lines.append(current)
    return [f"{indent}// {line}" for line in lines]
