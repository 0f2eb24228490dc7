<?php
declare(strict_types=1);

class Untitled
{
	private array $values = [];

	public function __construct(array $values = [])
	{
		$this->values = $values;
	}

	public function get(string $key, mixed $default = null): mixed
	{
		return $this->values[$key] ?? $default;
	}
}
