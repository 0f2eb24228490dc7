# frozen_string_literal: true

class Untitled
  attr_reader :name

  def initialize(name)
    @name = name
  end

  def to_s
    "#<Untitled #{name}>"
  end
end
