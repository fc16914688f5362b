"""Checks a report against the repository's JSON Schema: the keywords that schema uses (type,
required, properties, additionalProperties, enum, pattern, minLength, maxLength, items,
minItems, minimum), and that the counts agree with the list of data sources."""

import json
import re
from pathlib import Path

SCHEMA = Path(__file__).resolve().parent.parent.parent / "schema" / "quillet-setup-report.schema.json"
TYPES = {"object": dict, "array": list, "string": str, "boolean": bool, "null": type(None)}


def _errors(value, schema, where):
    kind = schema.get("type")
    if isinstance(kind, list):
        matching = [each for each in kind if not _errors(value, {"type": each}, where)]
        if not matching:
            return [f"{where}: {value!r} is of none of the types {kind}"]
        kind = matching[0]
    if kind == "integer":
        if not isinstance(value, int) or isinstance(value, bool):
            return [f"{where}: not an integer"]
    elif kind and not isinstance(value, TYPES[kind]) or kind in ("integer", "object", "array") and isinstance(value, bool):
        return [f"{where}: not of type {kind}"]
    errors = []
    if "enum" in schema and value not in schema["enum"]:
        errors.append(f"{where}: {value!r} is not one of {schema['enum']}")
    if isinstance(value, str):
        if len(value) < schema.get("minLength", 0):
            errors.append(f"{where}: too short")
        if "maxLength" in schema and len(value) > schema["maxLength"]:
            errors.append(f"{where}: longer than {schema['maxLength']}")
        if "pattern" in schema and not re.search(schema["pattern"], value):
            errors.append(f"{where}: {value!r} does not match {schema['pattern']}")
    if isinstance(value, int) and "minimum" in schema and value < schema["minimum"]:
        errors.append(f"{where}: below {schema['minimum']}")
    if isinstance(value, list):
        if len(value) < schema.get("minItems", 0):
            errors.append(f"{where}: fewer than {schema['minItems']} items")
        for index, item in enumerate(value):
            errors += _errors(item, schema.get("items", {}), f"{where}[{index}]")
    if isinstance(value, dict):
        for name in schema.get("required", []):
            if name not in value:
                errors.append(f"{where}: {name} is missing")
        properties = schema.get("properties", {})
        extra = schema.get("additionalProperties", True)
        for name, item in value.items():
            if name in properties:
                errors += _errors(item, properties[name], f"{where}.{name}")
            elif extra is False:
                errors.append(f"{where}: {name} is not allowed")
            elif isinstance(extra, dict):
                errors += _errors(item, extra, f"{where}.{name}")
    return errors


def check_report(text):
    """The report as Python data, once it validates; AssertionError with every fault otherwise."""
    report = json.loads(text)
    errors = _errors(report, json.loads(SCHEMA.read_text()), "$")
    counted = {}
    for each in report.get("dataSources", []):
        counted[each["state"]] = counted.get(each["state"], 0) + 1
    if counted != report.get("counts"):
        errors.append(f"counts {report.get('counts')} do not agree with the list {counted}")
    assert not errors, "\n".join(errors)
    return report
