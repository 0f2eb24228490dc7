#!/usr/bin/env ruby
# frozen_string_literal: true

def main(arguments)
  # ...
  0
end

exit main(ARGV)
